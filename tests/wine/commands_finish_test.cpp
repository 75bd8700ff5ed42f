// The finished page's Start Now, which starts the installed product and ends the setup,
// and the licence link, which the shell opens.
#include <gtest/gtest.h>

#include "app/language.h"
#include "commands_support.h"
#include "ui/control_ids.h"

using namespace harness;
using namespace commands;

namespace {

// The finished page, reached as the installer thread reaches it: WM_INSTALL_DONE posted.
bool FinishInstalling(SetupWindow& window) {
    window.EnterInstallingPage();
    ::PostMessageW(window.hwnd, WM_INSTALL_DONE, 0, 0);
    const bool finished = PumpUntil([&] { return window.dlg.SetupPhase == PHASE_FINISHED; });
    window.Settle();
    return finished;
}

// Watches, from another thread, for any dialog box of this process other than the setup
// window, answers it so that nothing hangs, and remembers what it said.
class AnyBoxWatch {
public:
    explicit AnyBoxWatch(HWND setup) : setup_(setup) { thread_ = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    ~AnyBoxWatch() { Finish(); }
    std::vector<BoxContent> Finish() {
        ::InterlockedExchange(&stop_, 1);
        if (thread_) {
            ::WaitForSingleObject(thread_, INFINITE);
            ::CloseHandle(thread_);
            thread_ = nullptr;
        }
        return seen_;
    }

private:
    static DWORD WINAPI Run(void* argument) {
        auto& self = *static_cast<AnyBoxWatch*>(argument);
        while (!self.stop_) {
            HWND box = FindUnownedDialog(self.setup_);
            if (!box && ::IsWindow(self.setup_)) box = FindOwnedBox(self.setup_, 0ms);
            if (box) {
                ::Sleep(50);
                self.seen_.push_back(ReadBox(box));
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                WaitUntil([&] { return !::IsWindow(box); }, 5s);
            }
            ::Sleep(10);
        }
        return 0;
    }
    HWND setup_;
    std::vector<BoxContent> seen_;
    volatile LONG stop_ = 0;
    HANDLE thread_ = nullptr;
};

// Restores the install folder that window initialisation chose.
struct InstallFolderScope {
    std::wstring saved = InstallFolder;
    ~InstallFolderScope() { InstallFolder = saved; }
};

}  // namespace

TEST(CommandsStartNow, StartsTheProductInItsFolderAndEndsWith1000) {
    InstallFolderScope restore;
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    ASSERT_TRUE(FinishInstalling(window));

    // Where the installer puts the product below the chosen folder.
    InstallFolder = MakeTempFolder(L"install");
    const std::wstring productFolder = InstallFolder + L"\\Quorvane\\Talvenor";
    ASSERT_TRUE(CopyProgram(ProductStub(), productFolder, L"Talvenor.exe"));
    const std::wstring record = productFolder + L"\\started.txt";

    AnyBoxWatch boxes(window.hwnd);
    ClickAt(window.CentreOf(IDC_START_NOW));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(window.hwnd); })) << "Start Now did not end the setup";
    EXPECT_EQ(TakeQuit(), SETUP_EXIT_CODE);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }, 20s)) << "the product did not start";
    EXPECT_TRUE(boxes.Finish().empty());

    const std::wstring started = ReadUtf16File(record);
    const size_t lineEnd = started.find(L"\r\n");
    ASSERT_NE(lineEnd, std::wstring::npos);
    EXPECT_EQ(started.substr(0, lineEnd), productFolder) << "the product's current directory";
    std::wstring commandLine = started.substr(lineEnd + 2);
    if (commandLine.size() >= 2 && commandLine.substr(commandLine.size() - 2) == L"\r\n") commandLine.resize(commandLine.size() - 2);
    const auto arguments = SplitCommandLine(commandLine);
    ASSERT_EQ(arguments.size(), 1u) << "no arguments expected in " << testing::PrintToString(commandLine);
    EXPECT_EQ(_wcsicmp(arguments[0].c_str(), (productFolder + L"\\Talvenor.exe").c_str()), 0)
        << testing::PrintToString(arguments[0]);
}

TEST(CommandsStartNow, MissingProductShowsNothingAndStillEndsWith1000) {
    InstallFolderScope restore;
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    ASSERT_TRUE(FinishInstalling(window));
    InstallFolder = MakeTempFolder(L"empty-install");

    AnyBoxWatch boxes(window.hwnd);
    window.Command(IDC_START_NOW);
    const auto seen = boxes.Finish();
    EXPECT_FALSE(::IsWindow(window.hwnd));
    EXPECT_EQ(TakeQuit(), SETUP_EXIT_CODE);
    EXPECT_TRUE(seen.empty()) << "a box was shown: " << testing::PrintToString(seen.empty() ? L"" : seen[0].text);
}

TEST(CommandsLicence, TheShellOpensTheLicenceAddressWithItsHandler) {
    // The handler the shell runs for https addresses, for the time of this test.
    const std::wstring folder = MakeTempFolder(L"licence");
    ASSERT_TRUE(CopyProgram(BinaryFolder() + L"\\shell_open_recorder.exe", folder, L"recorder.exe"));
    const std::wstring recorder = folder + L"\\recorder.exe";
    ShellOpenCommand handler(L"https", L"\"" + recorder + L"\" \"%1\"");
    ASSERT_TRUE(handler.applied());

    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const std::wstring address = LoadLangString(L"STR_LICENCE_URL");
    ASSERT_EQ(address, L"https://www.example.com/talvenor/licence.html");

    AnyBoxWatch boxes(window.hwnd);
    ClickAt(window.CentreOf(IDC_LICENCE));
    ASSERT_TRUE(PumpUntil([&] { return FileExists(folder + L"\\opened.txt"); }, 20s)) << "the handler was not run";
    const auto arguments = SplitCommandLine(ReadUtf16File(folder + L"\\opened.txt"));
    ASSERT_EQ(arguments.size(), 2u) << testing::PrintToString(ReadUtf16File(folder + L"\\opened.txt"));
    EXPECT_EQ(_wcsicmp(arguments[0].c_str(), recorder.c_str()), 0);
    EXPECT_EQ(arguments[1], address);

    // The setup window stays as it was.
    Pump(100ms);
    EXPECT_TRUE(boxes.Finish().empty());
    EXPECT_TRUE(::IsWindowVisible(window.hwnd));
    EXPECT_EQ(window.dlg.SetupPhase, PHASE_WELCOME);
    EXPECT_TRUE(window.Shows(IDC_INSTALL));
    EXPECT_EQ(TakeQuit(), -1);
}
