#include "commands_support.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include "app/language.h"
#include "ui/control_ids.h"
#include "winlib/app_module.h"

namespace commands {

using namespace harness;

// --- the setup window ------------------------------------------------------------

SetupWindow::SetupWindow() : owned(std::make_unique<CMainDlg>()), dlg(*owned) {
    MoveMouseTo(POINT{0, 0});  // no button under the cursor while the window comes up
    hwnd = dlg.Create(winlib::AppModule.GetResourceInstance(), CMainDlg::IDD, nullptr);
    if (!hwnd) return;
    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    Settle();
}

SetupWindow::~SetupWindow() {
    if (::IsWindow(hwnd)) {
        // Wine's shell keeps an icon whose window went until the mouse touches it; the
        // next test must find the notification area empty.
        ::Shell_NotifyIconW(NIM_DELETE, &dlg.TrayIconData);
        ::DestroyWindow(hwnd);
    }
    if (MainDialog == &dlg) MainDialog = nullptr;
    Pump(20ms);
    TakeQuit();
}

POINT SetupWindow::CentreOf(int id) const {
    const RECT rect = WindowRect(Item(id));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void SetupWindow::Command(int id) {
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void SetupWindow::EnterInstallingPage() {
    dlg.SetupPhase = PHASE_INSTALLING;
    ::SetTimer(hwnd, SLIDE_TIMER_ID, SLIDE_PERIOD_MS, nullptr);
    for (int id : {IDC_CLOSE, IDC_MINIMIZE, IDC_INSTALL, IDC_AGREE, IDC_LICENCE, IDC_CUSTOMIZE, IDC_AGREE_REMINDER,
                   IDC_START_NOW}) {
        ::ShowWindow(Item(id), SW_HIDE);
    }
    for (int id : {IDC_PROGRESS, IDC_HIDE, IDC_PERCENT}) ::ShowWindow(Item(id), SW_SHOW);
    ::InvalidateRect(hwnd, nullptr, TRUE);
    Settle();
}

void SetupWindow::Settle() {
    ::SetForegroundWindow(hwnd);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(100ms);
}

int TakeQuit() {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(msg.wParam);
    return -1;
}

// --- message boxes -------------------------------------------------------------------

BoxScript::BoxScript(HWND owner, std::vector<BoxStep> steps) : owner_(owner), steps_(std::move(steps)) {
    thread_ = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr);
}

BoxScript::~BoxScript() { Finish(); }

std::vector<BoxContent> BoxScript::Finish() {
    ::InterlockedExchange(&stop_, 1);
    if (thread_) {
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
    }
    return seen_;
}

namespace {

void PressEscape(HWND box) {
    ::SetForegroundWindow(box);
    WaitUntil([&] { return ::GetForegroundWindow() == box; }, 2s);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

}  // namespace

DWORD WINAPI BoxScript::Run(void* argument) {
    auto& self = *static_cast<BoxScript*>(argument);
    for (const BoxStep& step : self.steps_) {
        HWND box = nullptr;
        WaitUntil([&] {
            box = FindOwnedBox(self.owner_, 0ms);
            return box != nullptr || self.stop_;
        }, 20s);
        if (!box) return 0;
        ::Sleep(50);  // let the box finish setting itself up
        self.seen_.push_back(ReadBox(box));
        if (step.before) step.before();
        if (step.escapeKey) {
            PressEscape(box);
            if (!WaitUntil([&] { return !::IsWindow(box); }, 10s)) {
                self.escapeIgnored_ = true;
                PressBoxButton(box, IDCANCEL);
            }
        } else {
            PressBoxButton(box, step.button);
        }
        // The next box is another one: wait until this one has gone.
        WaitUntil([&] { return !::IsWindow(box); }, 10s);
    }
    return 0;
}

namespace {
struct UnownedSearch {
    HWND except;
    HWND found = nullptr;
};

BOOL CALLBACK FindUnowned(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<UnownedSearch*>(context);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (window != search.except && pid == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
        !::GetWindow(window, GW_OWNER) && wcscmp(name, L"#32770") == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindUnownedDialog(HWND except) {
    UnownedSearch search{except};
    ::EnumWindows(&FindUnowned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// --- the stand-in product ------------------------------------------------------------

std::wstring ProductStub() { return BinaryFolder() + L"\\product_stub.exe"; }

bool CopyProgram(const std::wstring& program, const std::wstring& folder, const std::wstring& fileName) {
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return ::CopyFileW(program.c_str(), (folder + L"\\" + fileName).c_str(), FALSE) != FALSE;
}

std::wstring ListedName(DWORD id) {
    std::wstring name;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return name;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == id) name = entry.szExeFile;
    }
    ::CloseHandle(snapshot);
    return name;
}

Process StartRunningProduct(const std::wstring& fileName) {
    static int count = 0;
    const std::wstring folder = MakeTempFolder(L"running-" + std::to_wstring(++count));
    if (!CopyProgram(ProductStub(), folder, fileName)) return Process();
    Process process = Process::Start(folder + L"\\" + fileName, L"--wait");
    if (process.Running()) {
        WaitUntil([&] { return ListedName(process.Id()) == fileName; });
    }
    return process;
}

// --- language files ------------------------------------------------------------------

namespace {

std::wstring ShippedLanguageText() {
    HMODULE module = winlib::AppModule.GetResourceInstance();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(253), L"INI");
    if (!resource) return {};
    const auto* data = static_cast<const wchar_t*>(::LockResource(::LoadResource(module, resource)));
    std::wstring text(data, ::SizeofResource(module, resource) / sizeof(wchar_t));
    if (!text.empty() && text[0] == L'\xFEFF') text.erase(0, 1);
    return text;
}

std::wstring KeyOf(const std::wstring& line) {
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) return {};
    std::wstring key = line.substr(0, equals);
    while (!key.empty() && key.back() == L' ') key.pop_back();
    return key;
}

}  // namespace

TestLanguage::TestLanguage(const std::map<std::wstring, std::wstring>& replaced) {
    const std::wstring shipped = ShippedLanguageText();
    std::map<std::wstring, std::wstring> pending = replaced;
    std::wstring text;
    size_t start = 0;
    while (start < shipped.size()) {
        size_t end = shipped.find(L"\r\n", start);
        if (end == std::wstring::npos) end = shipped.size();
        std::wstring line = shipped.substr(start, end - start);
        start = end + 2;
        const auto found = pending.find(KeyOf(line));
        if (found != pending.end()) {
            line = found->first + L"=" + found->second;
            pending.erase(found);
        }
        text += line + L"\r\n";
        if (line == L"[LANSTR]") {
            for (const auto& [key, value] : replaced) {
                if (shipped.find(L"\r\n" + key + L"=") == std::wstring::npos &&
                    shipped.find(L"\r\n" + key + L" =") == std::wstring::npos) {
                    text += key + L"=" + value + L"\r\n";
                }
            }
        }
    }
    const std::wstring path = MakeTempFolder(L"language") + L"\\Test.ini";
    std::string bytes = "\xff\xfe";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    WriteFileBytes(path, bytes);
    SelectLanguageFileForTesting(path);
}

TestLanguage::~TestLanguage() { SelectLanguageFile(); }

// --- Wine's notification area --------------------------------------------------------

namespace {

BOOL CALLBACK CollectIcon(HWND child, LPARAM context) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    if (wcscmp(name, L"__winex11_tray_icon") == 0 && ::IsWindowVisible(child)) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
    }
    return TRUE;
}

BOOL CALLBACK FindBalloon(HWND window, LPARAM context) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (wcscmp(name, TOOLTIPS_CLASSW) == 0 && ::IsWindowVisible(window) &&
        (::GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON)) {
        *reinterpret_cast<HWND*>(context) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> ShellTrayIcons() {
    std::vector<HWND> icons;
    HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
    if (tray && ::IsWindowVisible(tray)) ::EnumChildWindows(tray, &CollectIcon, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

HWND ShellBalloon() {
    HWND found = nullptr;
    ::EnumWindows(&FindBalloon, reinterpret_cast<LPARAM>(&found));
    return found;
}

namespace {

HWND RecordedWindow = nullptr;
std::vector<TrayNotifyRecorder::Seen> Recorded;

LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == RecordedWindow && message->message == WM_TRAY_NOTIFY) {
        Recorded.push_back({message->wParam, message->lParam});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK RecordPosted(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->hwnd == RecordedWindow &&
        message->message == WM_TRAY_NOTIFY) {
        Recorded.push_back({message->wParam, message->lParam});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TrayNotifyRecorder::TrayNotifyRecorder(HWND window) {
    RecordedWindow = window;
    Recorded.clear();
    sentHook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, ::GetCurrentThreadId());
    postedHook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &RecordPosted, nullptr, ::GetCurrentThreadId());
}

TrayNotifyRecorder::~TrayNotifyRecorder() {
    if (sentHook_) ::UnhookWindowsHookEx(sentHook_);
    if (postedHook_) ::UnhookWindowsHookEx(postedHook_);
    RecordedWindow = nullptr;
}

std::vector<TrayNotifyRecorder::Seen> TrayNotifyRecorder::seen() const { return Recorded; }

// --- the folder browser --------------------------------------------------------------

namespace {

struct BrowserSearch {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK MatchBrowser(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<BrowserSearch*>(context);
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && wcscmp(name, L"#32770") == 0 && ::GetWindow(window, GW_OWNER) == search.owner &&
        ::FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = MAX_PATH;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

HTREEITEM Child(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM Next(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

// Opens an item the way a click on its plus sign does, so the browser fills its children.
void Open(HWND tree, HTREEITEM item) {
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

// The child of `parent` whose text satisfies `matches`, or null.
template <class Match>
HTREEITEM FindChild(HWND tree, HTREEITEM parent, Match matches) {
    for (HTREEITEM item = Child(tree, parent); item; item = Next(tree, item)) {
        if (matches(ItemText(tree, item))) return item;
    }
    return nullptr;
}

bool IsDriveItem(const std::wstring& text, const std::wstring& drive) {
    return _wcsicmp(text.c_str(), drive.c_str()) == 0 || text.find(L"(" + drive + L")") != std::wstring::npos;
}

HTREEITEM Root(HWND tree) {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

// Clicks an item with the real mouse and waits until the tree has selected it.
bool ClickItem(HWND tree, HTREEITEM item) {
    ::SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RECT rect{};
    *reinterpret_cast<HTREEITEM*>(&rect) = item;
    if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect))) return false;
    ClickAt(ClientToScreenPoint(tree, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
    return WaitUntil([&] {
        return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) == item;
    }, 5s);
}

}  // namespace

HWND FindFolderBrowser(HWND owner, std::chrono::milliseconds timeout) {
    BrowserSearch search{owner};
    WaitUntil([&] {
        ::EnumWindows(&MatchBrowser, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeout);
    return search.found;
}

bool PickInFolderTree(HWND browser, const std::wstring& path) {
    HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    if (!tree || path.size() < 2 || path[1] != L':') return false;
    const std::wstring drive = path.substr(0, 2);

    // The drive lies one level below the desktop, in the computer's folder.
    HTREEITEM root = Root(tree);
    Open(tree, root);
    HTREEITEM item = nullptr;
    for (HTREEITEM top = Child(tree, root); top && !item; top = Next(tree, top)) {
        Open(tree, top);
        item = FindChild(tree, top, [&](const std::wstring& text) { return IsDriveItem(text, drive); });
    }
    if (!item) return false;

    size_t start = 3;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        Open(tree, item);
        item = FindChild(tree, item, [&](const std::wstring& text) { return _wcsicmp(text.c_str(), name.c_str()) == 0; });
        if (!item) return false;
    }
    return ClickItem(tree, item);
}

bool PickNamedInFolderTree(HWND browser, const std::vector<std::wstring>& names) {
    HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    if (!tree || names.empty()) return false;
    HTREEITEM item = Root(tree);
    for (const std::wstring& name : names) {
        Open(tree, item);
        item = FindChild(tree, item, [&](const std::wstring& text) { return text == name; });
        if (!item) return false;
    }
    return ClickItem(tree, item);
}

void ClickDialogButton(HWND dialog, int id) {
    const RECT rect = WindowRect(::GetDlgItem(dialog, id));
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

// --- the shell's open command -------------------------------------------------------

ShellOpenCommand::ShellOpenCommand(const std::wstring& scheme, const std::wstring& command)
    : key_(scheme + L"\\shell\\open\\command") {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return;
    }
    wchar_t old[2048] = {};
    DWORD size = sizeof old - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        hadValue_ = true;
        oldValue_ = old;
    }
    applied_ = ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    ::RegCloseKey(key);
}

ShellOpenCommand::~ShellOpenCommand() {
    if (!applied_) return;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    if (hadValue_) {
        ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(oldValue_.c_str()),
                         static_cast<DWORD>((oldValue_.size() + 1) * sizeof(wchar_t)));
    } else {
        ::RegDeleteValueW(key, nullptr);
    }
    ::RegCloseKey(key);
}

// --- files ---------------------------------------------------------------------------

std::wstring ReadUtf16File(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    if (!text.empty() && text[0] == L'\xFEFF') text.erase(0, 1);
    return text;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** parsed = ::CommandLineToArgvW(commandLine.c_str(), &count);
    if (!parsed) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(parsed[i]);
    ::LocalFree(parsed);
    return arguments;
}

}  // namespace commands
