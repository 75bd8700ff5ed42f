// The download engine against servers that misbehave, or behave in ways nginx cannot
// be told to: the scripted test server (tests/servers/servers.py), nginx with ranges
// switched off, missing files, and TLS with trusted and untrusted certificates. Every
// error box is the real one: its text and caption are read, OK is pressed, and the
// setup quits with 1000.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/download_state.h"
#include "engine/rules/part_plan.h"
#include "engine_support.h"

using namespace engine;
using namespace std::chrono_literals;

namespace {

const wchar_t* const kNetworkError = L"Network error ,please retry.";
const char* const kServedFile = "s1000003/TalvenorSetup.exe";
constexpr std::uint32_t kServedSize = 1000003;

std::wstring Port(int port) { return std::to_wstring(port); }
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII only

// An address of the scripted server: /<mode>/<token>/s1000003/TalvenorSetup.exe.
std::wstring ScriptUrl(const wchar_t* mode, const std::wstring& token) {
    return L"http://127.0.0.1:" + Port(Servers::Get().script) + L"/" + mode + L"/" + token +
           L"/s1000003/TalvenorSetup.exe";
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }  // ASCII only

// An address of nginx on `port` for `object` (a path of the servers' tree).
std::wstring NginxUrl(int port, const std::string& object, bool https) {
    return (https ? L"https://127.0.0.1:" : L"http://127.0.0.1:") + Port(port) + L"/" + Widen(object);
}

std::wstring InstallerFile() { return DownloadFolder() + L"\\TalvenorSetup.exe"; }
std::wstring TemporaryFile() { return DownloadFolder() + L"\\TalvenorSetup.down"; }

std::optional<std::uint64_t> SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

size_t Count(const std::vector<std::string>& lines, const std::function<bool(const std::string&)>& match) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), match));
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The finished page came, and the installer that ran was exactly the served file.
void ExpectInstalled(SetupRun& run) {
    const auto served = Servers::Get().File(kServedFile);
    ASSERT_TRUE(served);
    const auto report = run.Report();
    ASSERT_FALSE(report.empty()) << "the installer did not run";
    EXPECT_EQ(report.at("size"), std::to_string(served->size));
    EXPECT_EQ(report.at("sha256"), served->sha256) << "the installer is not the served file";
    EXPECT_EQ(report.at("command"), "  /Quorvane /verysilent /path=\"" + Narrow(run.InstallFolder()) + "\"");
    EXPECT_FALSE(harness::FileExists(InstallerFile()));
    EXPECT_FALSE(harness::FileExists(TemporaryFile()));
}

// Install ends in the error box `text` / "Error" with OK and the information icon;
// OK ends the setup with 1000.
void ExpectErrorBoxAndQuit(SetupRun& run, const std::wstring& text) {
    ASSERT_TRUE(run.InstallAndFail(180s)) << "no error box, or no quit after it";
    EXPECT_EQ(run.Box().text, text);
    EXPECT_EQ(run.Box().caption, L"Error");
    EXPECT_EQ(run.Box().buttons, (std::vector<int>{IDOK}));
    EXPECT_TRUE(run.Box().hasIcon);
    EXPECT_EQ(run.QuitCode(), 1000);
    EXPECT_NE(run.Dialog().SetupPhase, PHASE_FINISHED);
}

// Nothing was run or installed, and no installer file exists.
void ExpectNothingRun(SetupRun& run) {
    EXPECT_TRUE(run.Report().empty()) << "an installer ran";
    EXPECT_FALSE(harness::FileExists(InstallerFile()));
    EXPECT_FALSE(harness::FileExists(run.InstallFolder() + L"\\Quorvane"));
}

}  // namespace

// --- parallel parts --------------------------------------------------------------

namespace {

// The server answers no ranged request before 40 are open at once (and drops them all
// after 30 s), so the download completes only when all parts really run in parallel.
void ExpectFortyRangesOpenAtOnce(bool winHttp) {
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"hold40", token));
    UseWinHttp = winHttp;
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "the parts did not all run at once; box: " << Narrow(run.Box().text);
    ExpectInstalled(run);
    const auto log = Servers::Get().ScriptLog(token);
    EXPECT_EQ(Count(log, [](const std::string& l) { return StartsWith(l, "hold released most-open 40"); }), 40u);
    EXPECT_EQ(Count(log, [](const std::string& l) { return StartsWith(l, "hold timeout"); }), 0u);
    EXPECT_EQ(Count(log, [](const std::string& l) { return StartsWith(l, "GET bytes="); }), 40u)
        << "one request per part, none repeated";
}

}  // namespace

TEST(EngineServer, FortyRangesAreOpenAtOnceOnWinInet) {
    ENGINE_REQUIRE_SERVERS();
    ExpectFortyRangesOpenAtOnce(false);
    // WinINet queues requests beyond its per-server limits on Windows (Wine has none):
    // the download raised both for the whole process.
    for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}) {
        DWORD limit = 0, size = sizeof limit;
        ASSERT_TRUE(::InternetQueryOptionW(nullptr, option, &limit, &size));
        EXPECT_EQ(limit, 50u) << "option " << option;
    }
}

TEST(EngineServer, FortyRangesAreOpenAtOnceOnWinHttp) {
    ENGINE_REQUIRE_SERVERS();
    ExpectFortyRangesOpenAtOnce(true);
}

// --- a cut connection -------------------------------------------------------------

namespace {

// The first answer for every part is cut after 10007 of its 25000 bytes. Each part is
// asked again for exactly the bytes it lacks, and the installer is still the served file.
void ExpectCutPartsResumed(bool winHttp) {
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"cut", token));
    UseWinHttp = winHttp;
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "box: " << Narrow(run.Box().text);
    ExpectInstalled(run);

    const auto log = Servers::Get().ScriptLog(token);
    const auto parts = setup::PlanParts(kServedSize);
    for (const setup::PartSpan& part : parts) {
        const std::uint32_t first = part.offset, last = part.offset + part.length - 1;
        const std::string whole = "GET bytes=" + std::to_string(first) + "-" + std::to_string(last);
        const std::string rest = "GET bytes=" + std::to_string(first + 10007) + "-" + std::to_string(last);
        const std::string suffix = "-" + std::to_string(last);
        std::vector<std::string> asked;
        for (const std::string& line : log) {
            if (StartsWith(line, "GET bytes=") && line.ends_with(suffix)) asked.push_back(line);
        }
        EXPECT_EQ(asked, (std::vector<std::string>{whole, rest})) << "part at " << first;
    }
}

}  // namespace

TEST(EngineServer, CutPartsResumeWithExactlyTheMissingRangeOnWinInet) {
    ENGINE_REQUIRE_SERVERS();
    ExpectCutPartsResumed(false);
}

TEST(EngineServer, CutPartsResumeWithExactlyTheMissingRangeOnWinHttp) {
    ENGINE_REQUIRE_SERVERS();
    ExpectCutPartsResumed(true);
}

// --- answers that are not the installer -----------------------------------------

// Every ranged request gets a 404 page with a body: each part fails, 41 restarts are
// made at once, then the parts are parked; with all 40 parked the network error shows.
// Not one byte of the error pages reaches the temporary file.
TEST(EngineServer, ErrorPagesForThePartsEndInTheNetworkError) {
    ENGINE_REQUIRE_SERVERS();
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"range404", token));
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_EQ(SizeOf(TemporaryFile()), std::optional<std::uint64_t>(0));
    const auto log = Servers::Get().ScriptLog(token);
    EXPECT_EQ(Count(log, [](const std::string& l) { return StartsWith(l, "GET bytes="); }), 40u + 41u);
}

// nginx with byte ranges switched off sends the whole file with 200 to every part.
TEST(EngineServer, AServerIgnoringRangesEndsInTheNetworkError) {
    ENGINE_REQUIRE_SERVERS();
    const Servers& servers = Servers::Get();
    const std::string token = Narrow(UniqueToken());
    SetupRun run(NginxUrl(servers.http, "norange/" + token + "/s1000003/TalvenorSetup.exe", false));
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_EQ(SizeOf(TemporaryFile()), std::optional<std::uint64_t>(0));
    const std::string asked = std::to_string(servers.http) + " GET /norange/" + token + "/s1000003/TalvenorSetup.exe";
    const auto log = servers.NginxLog();
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, asked + " \"-\" 200 "); }), 1u);
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, asked + " \"bytes="); }), 40u + 41u);
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, asked + " \"bytes=") &&
                                                            l.find("\" 200 ") != std::string::npos; }),
              40u + 41u);
}

// A missing file: nginx answers the probe with its 404 page, which has a length.
// The probe is believed only on 200: 42 GETs on WinINet, the switch, 42 HEADs on
// WinHTTP, then the network error. The size was never known, so no file was made.
TEST(EngineServer, AnErrorPageForTheProbeEndsInTheNetworkError) {
    ENGINE_REQUIRE_SERVERS();
    const Servers& servers = Servers::Get();
    const std::wstring token = UniqueToken();
    SetupRun run(L"http://127.0.0.1:" + Port(servers.http) + L"/" + token + L"/TalvenorSetup.exe");
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_FALSE(harness::FileExists(TemporaryFile()));
    const std::string uri = " /" + Narrow(token) + "/TalvenorSetup.exe \"-\" 404 ";
    const auto log = servers.NginxLog();
    EXPECT_EQ(Count(log, [&](const std::string& l) { return l.find(" GET" + uri) != std::string::npos; }), 42u);
    EXPECT_EQ(Count(log, [&](const std::string& l) { return l.find(" HEAD" + uri) != std::string::npos; }), 42u);
}

// --- the probe and the switch to WinHTTP ------------------------------------------

// No Content-Length on any answer: 42 GETs on WinINet, then the Install command runs
// again on WinHTTP (the bar and label back at 0) with 42 HEADs, then the network error.
TEST(EngineServer, ProbeWithoutLengthSwitchesToWinHttpOnceThenGivesUp) {
    ENGINE_REQUIRE_SERVERS();
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"nolength", token));
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_TRUE(UseWinHttp);
    std::vector<std::string> expected(42, "GET -");
    expected.insert(expected.end(), 42, "HEAD -");
    EXPECT_EQ(Servers::Get().ScriptLog(token), expected);
    EXPECT_EQ(run.Labels(), (std::vector<std::wstring>{L"0% ", L"0% "})) << "the Install command ran twice";
    EXPECT_EQ(run.Positions(), (std::vector<int>{0, 0}));
}

// Only the GET lacks the length: after 42 GETs the switch to WinHTTP finds the size
// with HEAD, and the whole download runs on WinHTTP.
TEST(EngineServer, ProbeWithoutLengthOnGetSwitchesToWinHttpAndCompletes) {
    ENGINE_REQUIRE_SERVERS();
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"headonly", token));
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "box: " << Narrow(run.Box().text);
    ExpectInstalled(run);
    EXPECT_TRUE(UseWinHttp);
    const auto log = Servers::Get().ScriptLog(token);
    ASSERT_EQ(log.size(), 42u + 1u + 40u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 42), std::vector<std::string>(42, "GET -"));
    EXPECT_EQ(log[42], "HEAD -");
    EXPECT_EQ(Count(log, [](const std::string& l) { return StartsWith(l, "GET bytes="); }), 40u);
}

// --- sizes the part table cannot hold ---------------------------------------------

namespace {

// Sizes of 0 and of 2^31 bytes end at once with the system error; no file is made.
void ExpectSystemErrorForSize(const wchar_t* mode) {
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(mode, token));
    ExpectErrorBoxAndQuit(run, L"System error");
    ExpectNothingRun(run);
    EXPECT_FALSE(harness::FileExists(TemporaryFile()));
    EXPECT_EQ(Servers::Get().ScriptLog(token), (std::vector<std::string>{"GET -"})) << "one probe, no part";
}

}  // namespace

TEST(EngineServer, ASizeOfZeroEndsInTheSystemError) {
    ENGINE_REQUIRE_SERVERS();
    ExpectSystemErrorForSize(L"length0");
}

TEST(EngineServer, ASizeOfTwoGibibytesEndsInTheSystemError) {
    ENGINE_REQUIRE_SERVERS();
    ExpectSystemErrorForSize(L"length2g");
}

// The largest size the design holds, 2^31 - 1 bytes, is accepted, but a 32-bit process
// cannot hold all 40 part buffers of it at once: the first that cannot be had ends in
// the system error instead of a download that stalls at 0 %.
TEST(EngineServer, APartBufferThatCannotBeHadEndsInTheSystemError) {
    ENGINE_REQUIRE_SERVERS();
    const std::wstring token = UniqueToken();
    SetupRun run(ScriptUrl(L"length2g1", token));
    ExpectErrorBoxAndQuit(run, L"System error");
    ExpectNothingRun(run);
    EXPECT_EQ(SizeOf(TemporaryFile()), std::optional<std::uint64_t>(0)) << "the size was accepted";
    const auto log = Servers::Get().ScriptLog(token);
    EXPECT_LT(Count(log, [](const std::string& l) { return StartsWith(l, "GET bytes="); }), 40u + 41u)
        << "every part had its buffer";
}

// --- TLS ---------------------------------------------------------------------------

// An https address is fetched over TLS on the port it names, with the certificate
// checked: signed by an authority the system trusts, the download completes.
TEST(EngineTls, HttpsWithATrustedCertificateCompletes) {
    ENGINE_REQUIRE_SERVERS();
    const Servers& servers = Servers::Get();
    TrustTestAuthority trust;
    ASSERT_TRUE(trust.Trusted());
    const std::string object = "t/" + Narrow(UniqueToken()) + "/s1000003/TalvenorSetup.exe";
    SetupRun run(NginxUrl(servers.https, object, true));
    ASSERT_TRUE(run.InstallAndFinish(120s)) << "box: " << Narrow(run.Box().text);
    ExpectInstalled(run);
    EXPECT_FALSE(UseWinHttp);
    const std::string asked = std::to_string(servers.https) + " GET /" + object;
    const auto log = servers.NginxLog();
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, asked + " \"-\" 200 "); }), 1u);
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, asked + " \"bytes="); }), 40u);
}

// A certificate nobody trusts fails every request: nothing reaches the server as HTTP,
// nothing is downloaded, and the network error ends the setup.
TEST(EngineTls, AnUntrustedCertificateDownloadsNothing) {
    ENGINE_REQUIRE_SERVERS();
    const Servers& servers = Servers::Get();
    SetupRun run(NginxUrl(servers.untrusted, "s1000003/TalvenorSetup.exe", true));
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_FALSE(harness::FileExists(TemporaryFile()));
    const auto log = servers.NginxLog();
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, std::to_string(servers.untrusted) + " "); }),
              0u);
}

// An https address redirected to plain http is refused on both stacks: the probe never
// accepts the answer, no part is asked for, and the network error ends the setup.
TEST(EngineTls, ARedirectFromHttpsToHttpIsRefused) {
    ENGINE_REQUIRE_SERVERS();
    const Servers& servers = Servers::Get();
    TrustTestAuthority trust;
    ASSERT_TRUE(trust.Trusted());
    const std::string object = Narrow(UniqueToken()) + "/s1000003/TalvenorSetup.exe";
    SetupRun run(NginxUrl(servers.https, "to-http/" + object, true));
    ExpectErrorBoxAndQuit(run, kNetworkError);
    ExpectNothingRun(run);
    EXPECT_FALSE(harness::FileExists(TemporaryFile()));
    const auto log = servers.NginxLog();
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, std::to_string(servers.https) + " GET /to-http/" + object); }),
              42u) << "the probes on WinINet";
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, std::to_string(servers.https) + " HEAD /to-http/" + object); }),
              42u) << "the probes on WinHTTP";
    EXPECT_EQ(Count(log, [&](const std::string& l) { return StartsWith(l, std::to_string(servers.http) + " HEAD /t/" + object); }),
              0u) << "WinHTTP followed the redirect to http";
    EXPECT_EQ(Count(log, [&](const std::string& l) { return l.find(" /t/" + object + " \"bytes=") != std::string::npos; }),
              0u) << "a part was asked for";
}
