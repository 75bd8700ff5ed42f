// The whole road as a user lives it: the demo setup against a local nginx that serves the
// demo installer slowly enough to watch. Only what a user can do: clicks and keys at the
// screen, reading what the windows show, pressing message-box buttons.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "commands_support.h"
#include "harness.h"
#include "ui/control_ids.h"

using namespace harness;

namespace {

std::wstring DemoSetup() { return BinaryFolder() + L"\\..\\demo\\setup.exe"; }

std::wstring ServerRun() {
    const wchar_t* run = _wgetenv(L"SETUP_E2E_RUN");
    return run ? run : L"";
}

std::wstring Slashed(std::wstring path) {
    for (auto& c : path) if (c == L'/') c = L'\\';
    return path;
}

// Takes the download server away or brings it back, and waits until that is done.
void Server(const char* command) {
    const std::wstring run = Slashed(ServerRun());
    ::DeleteFileW((run + L"\\state").c_str());
    WriteFileBytes(run + L"\\control", command);
    const std::string done = std::string(command) + "ped\n";  // stopped / started (sic for start)
    WaitUntil([&] {
        const std::string state = ReadFileBytes(run + L"\\state");
        return !state.empty();
    }, 10s);
}

int InstallerRequests() {
    const std::string log = ReadFileBytes(Slashed(ServerRun()) + L"\\logs\\access.log");
    int count = 0;
    for (size_t at = log.find("TalvenorSetup.exe"); at != std::string::npos; at = log.find("TalvenorSetup.exe", at + 1)) {
        ++count;
    }
    return count;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::wstring ProductFolderUnder(const std::wstring& base) { return base + L"\\Quorvane\\Talvenor"; }

// The note the demo product leaves when it starts: program, current folder, command line.
std::vector<std::wstring> StartNote(const std::wstring& productFolder) {
    const std::string bytes = ReadFileBytes(productFolder + L"\\started.txt");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

void RemoveProduct(const std::wstring& base) {
    const std::wstring folder = ProductFolderUnder(base);
    ::DeleteFileW((folder + L"\\started.txt").c_str());
    ::DeleteFileW((folder + L"\\Talvenor.exe").c_str());
}


void Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

void Chord(std::initializer_list<WORD> keys) {
    for (WORD key : keys) Key(key, false);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) Key(*key, true);
    ::Sleep(100);
}

void Type(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = c;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, input, sizeof(INPUT));
    }
    ::Sleep(200);
}

std::wstring TextOf(HWND window, int controlId) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(window, controlId, text, 512);
    return text;
}

bool Visible(HWND window, int controlId) { return ::IsWindowVisible(::GetDlgItem(window, controlId)) != FALSE; }

bool OnFinishedPage(HWND window) { return Visible(window, IDC_START_NOW); }

// Answers one message box owned by the window; returns what it showed.
BoxContent Answer(HWND window, int button) {
    HWND box = FindOwnedBox(window, 60s);
    EXPECT_TRUE(box) << "no message box appeared";
    if (!box) return {};
    ::Sleep(100);
    BoxContent content = ReadBox(box);
    PressBoxButton(box, button);
    WaitUntil([&] { return !::IsWindow(box); });
    return content;
}

// Closes the demo products that Start Now left running, as their user would.
void CloseDemoProducts() {
    for (HWND product; (product = ::FindWindowW(L"TalvenorDemoProduct", nullptr)) != nullptr;) {
        ::PostMessageW(product, WM_CLOSE, 0, 0);
        if (!WaitUntil([&] { return !::IsWindow(product); }, 5s)) break;
    }
}

// A setup started for one scenario, with screenshots named after it.
struct Scenario {
    std::wstring name;
    Process setup;
    HWND window = nullptr;
    int shots = 0;

    ~Scenario() { CloseDemoProducts(); }
    explicit Scenario(std::wstring scenario) : name(std::move(scenario)) {
        CloseDemoProducts();
        setup = Process::Start(DemoSetup());
        window = setup.FindMainWindow();
        ::Sleep(500);
        if (window) Shot(L"welcome");
    }
    void Shot(const std::wstring& page) {
        SaveScreenshot(window, name + L"-" + std::to_wstring(++shots) + L"-" + page);
    }
    void TickAndInstall() {
        ClickControl(window, IDC_AGREE);
        ClickControl(window, IDC_INSTALL);
        ASSERT_TRUE(WaitUntil([&] { return Visible(window, IDC_PROGRESS); })) << "the installing page did not come";
        ::Sleep(300);
        Shot(L"installing");
    }
    void WaitForFinishedPage() {
        ASSERT_TRUE(WaitUntil([&] { return OnFinishedPage(window) || !setup.Running(); }, 240s));
        ASSERT_TRUE(setup.Running()) << "the setup ended before its finished page";
        ::Sleep(300);
        Shot(L"finished");
    }
};

}  // namespace

TEST(EndToEnd, HappyRoadIntoATypedFolder) {
    const std::wstring target = MakeTempFolder(L"happy road");
    RemoveProduct(target);
    Scenario road(L"happy");
    ASSERT_TRUE(road.window);
    HWND window = road.window;

    ClickControl(window, IDC_INSTALL);  // without the tick
    const BoxContent agree = Answer(window, IDOK);
    EXPECT_EQ(agree.text, L"Please agree  License Agreement \xFF01");
    EXPECT_EQ(agree.caption, L"Talvenor Setup");
    EXPECT_FALSE(Visible(window, IDC_PROGRESS));

    ClickControl(window, IDC_AGREE);
    ClickControl(window, IDC_CUSTOMIZE);
    ASSERT_TRUE(WaitUntil([&] { return ClientSize(window).cy == 434; }));
    ClickControl(window, IDC_PATH);
    Chord({VK_END});
    Chord({VK_SHIFT, VK_HOME});
    Type(target);
    EXPECT_EQ(TextOf(window, IDC_PATH), target);
    road.Shot(L"customize");

    ClickControl(window, IDC_INSTALL);
    ASSERT_TRUE(WaitUntil([&] { return Visible(window, IDC_PROGRESS); }));
    EXPECT_EQ(ClientSize(window).cy, 360);
    ::Sleep(500);
    road.Shot(L"installing");

    // The percentage climbs and the slides change while the download runs.
    const Pixels firstSlide = CaptureClient(window);
    std::vector<std::wstring> percentages;
    bool slideChanged = false;
    WaitUntil([&] {
        const std::wstring percent = TextOf(window, IDC_PERCENT);
        if (percentages.empty() || percentages.back() != percent) percentages.push_back(percent);
        if (!slideChanged) {
            const Pixels now = CaptureClient(window);
            for (int y = 10; y < 280 && !slideChanged; y += 7) {
                for (int x = 10; x < 740 && !slideChanged; x += 7) slideChanged = now.at(x, y) != firstSlide.at(x, y);
            }
        }
        return slideChanged && _wtoi(percent.c_str()) >= 10;
    }, 60s);
    EXPECT_TRUE(slideChanged) << "the slide show did not move on";
    ASSERT_GE(percentages.size(), 3u);
    for (size_t i = 1; i < percentages.size(); ++i) EXPECT_LE(_wtoi(percentages[i - 1].c_str()), _wtoi(percentages[i].c_str()));
    EXPECT_EQ(percentages.front().back(), L' ') << "the label reads like \"37% \"";
    road.Shot(L"slides");

    // Hide into the notification area, and back.
    ClickControl(window, IDC_HIDE);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(window); }));
    // With no tray of the X display's own, Wine's shell shows the icon in its stand-alone
    // notification area; the user clicks it there.
    std::vector<HWND> icons;
    ASSERT_TRUE(WaitUntil([&] { return !(icons = commands::ShellTrayIcons()).empty(); })) << "no icon in the notification area";
    ASSERT_EQ(icons.size(), 1u);
    ClickAt(CentreOf(icons.front()));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));

    road.WaitForFinishedPage();
    ClickControl(window, IDC_START_NOW);
    EXPECT_EQ(road.setup.Wait(), 1000u);
    const std::wstring productFolder = ProductFolderUnder(target);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(productFolder + L"\\started.txt"); }, 20s));
    const auto note = StartNote(productFolder);
    ASSERT_GE(note.size(), 2u);
    EXPECT_EQ(note[0], productFolder + L"\\Talvenor.exe");
    EXPECT_EQ(note[1], productFolder);
}

TEST(EndToEnd, DefaultFolderIsProgramFilesX86) {
    const std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILESX86);
    RemoveProduct(programFiles);
    Scenario road(L"default");
    ASSERT_TRUE(road.window);
    road.TickAndInstall();
    road.WaitForFinishedPage();
    ClickControl(road.window, IDC_START_NOW);
    EXPECT_EQ(road.setup.Wait(), 1000u);
    const std::wstring productFolder = ProductFolderUnder(programFiles);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(productFolder + L"\\started.txt"); }, 20s));
    EXPECT_EQ(StartNote(productFolder).at(1), productFolder);
}

TEST(EndToEnd, QuitNoThenYesDownloadsNothing) {
    const int requestsBefore = InstallerRequests();
    Scenario road(L"quit");
    ASSERT_TRUE(road.window);
    ClickControl(road.window, IDC_CLOSE);
    const BoxContent question = Answer(road.window, IDNO);
    EXPECT_EQ(question.text, L"Are you sure you want to quit Talvenor Setup?");
    ::Sleep(300);
    EXPECT_TRUE(road.setup.Running());
    EXPECT_TRUE(::IsWindowVisible(road.window));
    ClickControl(road.window, IDC_CLOSE);
    Answer(road.window, IDYES);
    EXPECT_EQ(road.setup.Wait(), 1000u);
    EXPECT_EQ(InstallerRequests(), requestsBefore);
}

TEST(EndToEnd, RunningProductIsWaitedFor) {
    const std::wstring folder = MakeTempFolder(L"running");
    const std::wstring product = folder + L"\\Talvenor.exe";
    ::CopyFileW((BinaryFolder() + L"\\demo_product.exe").c_str(), product.c_str(), FALSE);

    Scenario road(L"running");
    ASSERT_TRUE(road.window);
    Process running = Process::Start(product);
    ASSERT_TRUE(running.FindMainWindow(L"TalvenorDemoProduct"));
    ClickControl(road.window, IDC_AGREE);
    ClickControl(road.window, IDC_INSTALL);
    const BoxContent first = Answer(road.window, IDRETRY);
    EXPECT_EQ(first.text, L"Setup has detected that another Quorvane  Talvenor is currently running. "
                          L"Please close all instances of it now.");
    const BoxContent second = Answer(road.window, IDRETRY);
    EXPECT_EQ(second.text, L"Installation failed. Please try again.");
    HWND third = FindOwnedBox(road.window);
    ASSERT_TRUE(third);
    EXPECT_EQ(ReadBox(third).text, first.text);
    running.Kill();
    PressBoxButton(third, IDRETRY);
    road.WaitForFinishedPage();
    ClickControl(road.window, IDC_CLOSE);
    Answer(road.window, IDYES);
    EXPECT_EQ(road.setup.Wait(), 1000u);
}

TEST(EndToEnd, BrokenNetworkEndsWithTheErrorBoxAndASecondRunCompletes) {
    {
        Scenario road(L"broken");
        ASSERT_TRUE(road.window);
        road.TickAndInstall();
        ASSERT_TRUE(WaitUntil([&] { return _wtoi(TextOf(road.window, IDC_PERCENT).c_str()) >= 5; }, 60s));
        Server("stop");
        const BoxContent error = Answer(road.window, IDOK);
        EXPECT_EQ(error.caption, L"Error");
        EXPECT_EQ(error.text, L"Network error ,please retry.");
        EXPECT_TRUE(error.hasIcon);
        EXPECT_EQ(road.setup.Wait(), 1000u);
        Server("start");
    }
    Scenario again(L"again");
    ASSERT_TRUE(again.window);
    again.TickAndInstall();
    again.WaitForFinishedPage();
    ClickControl(again.window, IDC_CLOSE);
    Answer(again.window, IDYES);
    EXPECT_EQ(again.setup.Wait(), 1000u);
}

TEST(EndToEnd, ClosingDuringTheDownloadHidesUntilTheFinishedPage) {
    Scenario road(L"close");
    ASSERT_TRUE(road.window);
    road.TickAndInstall();
    ::SetForegroundWindow(road.window);
    Chord({VK_MENU, VK_F4});
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(road.window); }, 10s)) << "Alt+F4 did not hide the window";
    EXPECT_FALSE(FindOwnedBox(road.window, 500ms)) << "no question while installing";
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(road.window) != FALSE; }, 240s));
    EXPECT_TRUE(OnFinishedPage(road.window));
    road.Shot(L"back");
    ClickControl(road.window, IDC_CLOSE);
    Answer(road.window, IDYES);
    EXPECT_EQ(road.setup.Wait(), 1000u);
}
