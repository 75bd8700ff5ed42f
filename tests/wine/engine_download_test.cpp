// Complete downloads from the Install command to the finished page, against nginx: the
// installer that ran is byte for byte the served file, the parts asked for exactly
// their ranges, and the bar and label climbed to 80, then 90 and 100. Also the
// hand-off's own cases, and addresses the Install command refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/language.h"
#include "engine/download_state.h"
#include "engine/rules/part_plan.h"
#include "engine_support.h"
#include "ui/control_ids.h"

using namespace engine;
using namespace std::chrono_literals;

namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }  // ASCII only
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII only

// One complete run: the served file, and the stack that fetches it. WinHTTP runs here
// are direct runs (UseWinHttp set before the Install command, as after the switch);
// the real switch is EngineServer.ProbeWithoutLengthOnGetSwitchesToWinHttpAndCompletes.
struct CompleteCase {
    const char* name;
    const char* file;  // under the servers' tree
    bool winHttp;
};

const CompleteCase kCompleteCases[] = {
    {"wininet-1", "s1/TalvenorSetup.cmd", false},
    {"wininet-39", "s39/TalvenorSetup.cmd", false},
    {"wininet-40", "s40/TalvenorSetup.cmd", false},
    {"wininet-41", "s41/TalvenorSetup.cmd", false},
    {"wininet-1000003", "s1000003/TalvenorSetup.exe", false},
    {"wininet-104857603", "s104857603/TalvenorSetup.exe", false},
    {"winhttp-1", "s1/TalvenorSetup.cmd", true},
    {"winhttp-39", "s39/TalvenorSetup.cmd", true},
    {"winhttp-40", "s40/TalvenorSetup.cmd", true},
    {"winhttp-41", "s41/TalvenorSetup.cmd", true},
    {"winhttp-1000003", "s1000003/TalvenorSetup.exe", true},
    {"winhttp-104857603", "s104857603/TalvenorSetup.exe", true},
};

std::string FileName(const std::string& file) { return file.substr(file.rfind('/') + 1); }
std::wstring InstallerFile(const std::string& name) { return DownloadFolder() + L"\\" + Widen(name); }
std::wstring TemporaryFile(const std::string& name) {
    return DownloadFolder() + L"\\" + Widen(name.substr(0, name.rfind('.'))) + L".down";
}
std::wstring HttpUrl(const std::string& object) {
    return L"http://127.0.0.1:" + std::to_wstring(Servers::Get().http) + L"/" + Widen(object);
}

// The Range values of the ranged requests for `uri` in nginx's log, and whether each
// was answered with 206.
std::vector<std::string> RangesAsked(const std::string& uri, bool& all206) {
    std::vector<std::string> ranges;
    all206 = true;
    const std::string prefix = std::to_string(Servers::Get().http) + " GET " + uri + " \"bytes=";
    for (const std::string& line : Servers::Get().NginxLog()) {
        if (line.rfind(prefix, 0) != 0) continue;
        const size_t start = prefix.size() - 6;
        ranges.push_back(line.substr(start, line.find('"', start) - start));
        all206 = all206 && line.find("\" 206 ") != std::string::npos;
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

}  // namespace

// Run by ctest once per row of kCompleteCases (SETUP_ENGINE_CASE names the row): each
// run needs a process of its own, as setup.exe runs one download per process.
TEST(EngineComplete, Run) {
    const char* caseName = std::getenv("SETUP_ENGINE_CASE");
    if (!caseName) GTEST_SKIP() << "runs once per case, started by ctest";
    ENGINE_REQUIRE_SERVERS();
    const CompleteCase* found = nullptr;
    for (const CompleteCase& c : kCompleteCases) {
        if (std::string(c.name) == caseName) found = &c;
    }
    ASSERT_TRUE(found) << "no case " << caseName;
    const CompleteCase& c = *found;
    const Servers& servers = Servers::Get();
    const auto served = servers.File(c.file);
    ASSERT_TRUE(served) << c.file;
    const bool program = served->path.ends_with(L".exe");  // else a batch file

    const std::string object = "t/" + Narrow(UniqueToken()) + "/" + c.file;
    SetupRun run(HttpUrl(object));
    ASSERT_TRUE(run.Window());

    // Left-overs of an earlier run: a half-written temporary file and an old installer.
    const std::wstring installer = InstallerFile(FileName(c.file));
    const std::wstring temporary = TemporaryFile(FileName(c.file));
    ::CreateDirectoryW(DownloadFolder().c_str(), nullptr);
    ASSERT_TRUE(harness::WriteFileBytes(temporary, std::string(300000, 'T')));
    ASSERT_TRUE(harness::WriteFileBytes(installer, "stale installer of an earlier run"));

    if (!program) {
        // A batch file is run by the interpreter COMSPEC names: the fake installer, which
        // then reports on the batch file at `installer`.
        ::SetEnvironmentVariableW(L"COMSPEC", (harness::BinaryFolder() + L"\\fake_installer.exe").c_str());
        ::SetEnvironmentVariableW(L"SETUP_FAKE_BATCH", installer.c_str());
    }
    UseWinHttp = c.winHttp;
    const int cachedBefore = CachedCopies(L"TalvenorSetup");

    ASSERT_TRUE(run.InstallAndFinish(300s)) << "the finished page did not come; box: " << Narrow(run.Box().text);
    EXPECT_FALSE(run.BoxSeen());
    EXPECT_EQ(UseWinHttp, c.winHttp) << "no switch of stack for a download that works";

    const auto report = run.Report();
    ASSERT_FALSE(report.empty()) << "the installer did not run";
    EXPECT_EQ(report.at("image"), Narrow(installer));
    EXPECT_EQ(report.at("size"), std::to_string(served->size));
    EXPECT_EQ(report.at("sha256"), served->sha256) << "the installer is not the served file";
    EXPECT_EQ(report.at("command"), "  /Quorvane /verysilent /path=\"" + Narrow(run.InstallFolder()) + "\"");
    EXPECT_EQ(report.at("product"), "placed");
    EXPECT_TRUE(harness::FileExists(run.InstallFolder() + L"\\Quorvane\\Talvenor\\Talvenor.exe"));

    EXPECT_FALSE(harness::FileExists(temporary)) << "the temporary file is left";
    EXPECT_FALSE(harness::FileExists(installer)) << "the installer file is left";
    EXPECT_EQ(CachedCopies(L"TalvenorSetup"), cachedBefore) << "a copy went into the internet cache";

    // One request per part that has bytes, for exactly its range; empty parts ask nothing.
    std::vector<std::string> expectedRanges;
    for (const setup::PartSpan& part : setup::PlanParts(static_cast<std::uint32_t>(served->size))) {
        if (part.length == 0) continue;
        expectedRanges.push_back("bytes=" + std::to_string(part.offset) + "-" +
                                 std::to_string(part.offset + part.length - 1));
    }
    std::sort(expectedRanges.begin(), expectedRanges.end());
    bool all206 = false;
    EXPECT_EQ(RangesAsked("/" + object, all206), expectedRanges);
    EXPECT_TRUE(all206);

    // The bar and the label: 0 at the start, climbing to 80 while downloading, then 90
    // after the rename and 100 once the installer has ended.
    const std::vector<int>& positions = run.Positions();
    ASSERT_GE(positions.size(), 4u);
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions[positions.size() - 3], 80);
    EXPECT_EQ(positions[positions.size() - 2], 90);
    EXPECT_EQ(positions.back(), 100);
    for (size_t i = 1; i + 2 < positions.size(); ++i) {
        EXPECT_LE(positions[i - 1], positions[i]) << "the bar went back at step " << i;
        EXPECT_LE(positions[i], 80);
    }
    std::vector<std::wstring> expectedLabels;
    for (int position : positions) expectedLabels.push_back(setup::PercentText(position));
    EXPECT_EQ(run.Labels(), expectedLabels) << "the label does not follow the bar";
}

// --- the hand-off -------------------------------------------------------------------

// An installer that ends with a failure code still leads to 100, the deletion of the
// installer file and the finished page.
TEST(EngineHandOff, AFailingInstallerStillEndsOnTheFinishedPage) {
    ENGINE_REQUIRE_SERVERS();
    SetupRun run(HttpUrl("t/" + Narrow(UniqueToken()) + "/s1000003/TalvenorSetup.exe"));
    ::SetEnvironmentVariableW(L"SETUP_FAKE_EXIT", L"7");
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "box: " << Narrow(run.Box().text);
    ::SetEnvironmentVariableW(L"SETUP_FAKE_EXIT", nullptr);
    EXPECT_FALSE(run.BoxSeen());
    const auto report = run.Report();
    ASSERT_FALSE(report.empty()) << "the installer did not run";
    EXPECT_EQ(report.at("product"), "none");
    ASSERT_GE(run.Positions().size(), 2u);
    EXPECT_EQ(run.Positions().back(), 100);
    EXPECT_FALSE(harness::FileExists(InstallerFile("TalvenorSetup.exe")));
}

// A folder that ends with a backslash (a drive root, say) reaches the installer as it
// was typed: the backslash does not swallow the closing quote.
TEST(EngineHandOff, AFolderEndingInABackslashReachesTheInstallerUnchanged) {
    ENGINE_REQUIRE_SERVERS();
    SetupRun run(HttpUrl("t/" + Narrow(UniqueToken()) + "/s1000003/TalvenorSetup.exe"));
    const std::wstring typed = run.InstallFolder() + L"\\";
    run.TypeInstallFolder(typed);
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "box: " << Narrow(run.Box().text);
    const auto report = run.Report();
    ASSERT_FALSE(report.empty()) << "the installer did not run";
    EXPECT_EQ(report.at("well-formed"), "yes") << report.at("command");
    EXPECT_EQ(report.at("folder"), Narrow(typed));
    EXPECT_EQ(report.at("product"), "placed");
}

// A served file that is no program cannot be started: the system error ends the setup,
// and the installer file stays for the user to look at.
TEST(EngineHandOff, AFileThatIsNoProgramEndsInTheSystemError) {
    ENGINE_REQUIRE_SERVERS();
    const auto served = Servers::Get().File("junk/TalvenorSetup.exe");
    ASSERT_TRUE(served);
    SetupRun run(HttpUrl("t/" + Narrow(UniqueToken()) + "/junk/TalvenorSetup.exe"));
    ASSERT_TRUE(run.InstallAndFail(120s)) << "no error box, or no quit after it";
    EXPECT_EQ(run.Box().text, L"System error");
    EXPECT_EQ(run.Box().caption, L"Error");
    EXPECT_EQ(run.QuitCode(), 1000);
    EXPECT_TRUE(run.Report().empty());
    EXPECT_EQ(harness::ReadFileBytes(InstallerFile("TalvenorSetup.exe")), harness::ReadFileBytes(served->path));
    ASSERT_FALSE(run.Positions().empty());
    EXPECT_EQ(run.Positions().back(), 90);
}

// --- addresses ----------------------------------------------------------------------

// An address whose only "." lies in a folder name passes the Install command and the
// probe, but yields no file name: the URL error, and no file is made.
TEST(EngineAddress, AnAddressWithoutFileExtensionEndsInTheUrlError) {
    ENGINE_REQUIRE_SERVERS();
    SetupRun run(HttpUrl("t/" + Narrow(UniqueToken()) + "/v1.0/TalvenorSetup"));
    ASSERT_TRUE(run.InstallAndFail(120s)) << "no error box, or no quit after it";
    EXPECT_EQ(run.Box().text, L"error : URL, URL error");
    EXPECT_EQ(run.Box().caption, L"Error");
    EXPECT_TRUE(run.Box().hasIcon);
    EXPECT_EQ(run.QuitCode(), 1000);
    EXPECT_FALSE(harness::FileExists(DownloadFolder() + L"\\TalvenorSetup"));
}

// Addresses no request can be made for show the URL error box at the Install command
// (its text comes from the language file) and leave the welcome page as it was.
TEST(EngineAddress, UnusableAddressesShowTheUrlErrorAtTheInstallCommand) {
    ENGINE_REQUIRE_SERVERS();
    EXPECT_EQ(LoadLangString(L"STR_URL_ERROR"), L"The download address of Talvenor is not valid.")
        << "the shipped language file has the text";
    const std::wstring usable = HttpUrl("t/" + Narrow(UniqueToken()) + "/s1000003/TalvenorSetup.exe");
    SetupRun run(usable);
    // The full table of the split is the native test's; here one of each kind.
    const wchar_t* const unusable[] = {
        L"ftp://127.0.0.1/TalvenorSetup.exe",       // another scheme
        L"127.0.0.1/TalvenorSetup.exe",             // no scheme
        L"http://127.0.0.1",                        // no "/" after the host
        L"https://127.0.0.1:65536/TalvenorSetup.exe",  // no such port
    };
    for (const wchar_t* address : unusable) {
        SCOPED_TRACE(Narrow(address));
        run.SetDownloadAddress(address);
        run.Install(10s, [] { return true; });  // the command has returned
        EXPECT_TRUE(run.BoxSeen());
        EXPECT_EQ(run.Box().text, L"The download address of Talvenor is not valid.");
        EXPECT_EQ(run.Box().caption, L"Talvenor Setup");
        EXPECT_EQ(run.Box().buttons, (std::vector<int>{IDOK}));
        EXPECT_TRUE(run.Box().hasIcon);
        EXPECT_EQ(run.Dialog().SetupPhase, PHASE_WELCOME);
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(run.Window(), IDC_INSTALL)));
        EXPECT_FALSE(run.QuitCode());
    }
    // The same window goes on with a usable address.
    run.SetDownloadAddress(usable);
    EXPECT_TRUE(run.Install(10s, [&] { return run.Dialog().SetupPhase == PHASE_INSTALLING; }));
    EXPECT_FALSE(run.BoxSeen());
}
