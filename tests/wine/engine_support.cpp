#include "engine_support.h"

#include <commctrl.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "app/language.h"
#include "engine/download_target.h"
#include "ui/control_ids.h"
#include "winlib/app_module.h"

namespace engine {

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::wstring WindowsPath(std::wstring path) {
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

// Writes a language file the way the shipped one is written: UTF-16LE with a mark.
void WriteLanguageFile(const std::wstring& path, const std::wstring& url) {
    const std::wstring body =
        L"[LANSTR]\r\n"
        L"STR_COMPANY_NAME=Quorvane\r\n"
        L"STR_PROCESS_NAME=Talvenor.exe\r\n"
        L"STR_PROJECT_NAME=Talvenor\r\n"
        L"STR_DOWN_URL=" + url + L"\r\n"
        L"STR_SOFT_TIP=Talvenor Setup\r\n"
        L"STR_AGREE_INSTALL=Please agree  License Agreement \xFF01\r\n"
        L"STR_ERROR=Error\r\n"
        L"STR_NETWORK_ERROR=Network error ,please retry.\r\n"
        L"STR_SYSTEM_ERROR=System error\r\n"
        L"STR_URL_ERROR=The download address of Talvenor is not valid.\r\n";
    std::string bytes = "\xff\xfe";
    for (wchar_t c : body) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    harness::WriteFileBytes(path, bytes);
}

// What the window's thread sent to the bar and the label, seen through a hook.
struct Recorder {
    HWND bar = nullptr;
    HWND label = nullptr;
    std::vector<int> positions;
    std::vector<std::wstring> labels;
};
Recorder recorder;

LRESULT CALLBACK RecordCall(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->hwnd == recorder.bar && call->message == PBM_SETPOS) {
            recorder.positions.push_back(static_cast<int>(call->wParam));
        } else if (call->hwnd == recorder.label && call->message == WM_SETTEXT && call->lParam) {
            recorder.labels.emplace_back(reinterpret_cast<const wchar_t*>(call->lParam));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// --- servers -----------------------------------------------------------------------

const Servers& Servers::Get() {
    static const Servers servers = [] {
        Servers s;
        const wchar_t* state = _wgetenv(L"SETUP_ENGINE_STATE");
        if (!state || !*state) return s;
        s.state = WindowsPath(state);
        for (const std::string& line : Lines(harness::ReadFileBytes(s.state + L"\\ports.txt"))) {
            const auto equals = line.find('=');
            if (equals == std::string::npos) continue;
            const std::string name = line.substr(0, equals);
            const int port = std::atoi(line.c_str() + equals + 1);
            if (name == "http") s.http = port;
            if (name == "https") s.https = port;
            if (name == "untrusted") s.untrusted = port;
            if (name == "script") s.script = port;
            if (name == "refused") s.refused = port;
        }
        s.available = s.http && s.https && s.untrusted && s.script;
        return s;
    }();
    return servers;
}

std::optional<Servers::Served> Servers::File(const std::string& relative) const {
    for (const std::string& line : Lines(harness::ReadFileBytes(state + L"\\manifest.txt"))) {
        std::istringstream fields(line);
        std::string path;
        Served served;
        fields >> path >> served.size >> served.sha256;
        if (path != relative) continue;
        served.path = WindowsPath(state + L"\\www\\" + Widen(path));
        return served;
    }
    return std::nullopt;
}

std::vector<std::string> Servers::ScriptLog(const std::wstring& token) const {
    return Lines(harness::ReadFileBytes(state + L"\\logs\\" + token + L".txt"));
}

std::vector<std::string> Servers::NginxLog() const {
    return Lines(harness::ReadFileBytes(state + L"\\logs\\nginx-access.log"));
}

std::wstring UniqueToken() {
    return L"t" + std::to_wstring(::GetCurrentProcessId()) + L"x" + std::to_wstring(::GetTickCount());
}

std::wstring DownloadFolder() { return CommonDocumentsFolder() + L"\\Quorvane"; }

namespace {
int CountFiles(const std::wstring& folder, const std::wstring& stem) {
    int count = 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            count += CountFiles(folder + L"\\" + name, stem);
        } else if (name.rfind(stem, 0) == 0) {
            ++count;
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return count;
}
}  // namespace

int CachedCopies(const std::wstring& stem) {
    wchar_t cache[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, cache))) return -1;
    return CountFiles(cache, stem);
}

// --- one setup run -----------------------------------------------------------------

SetupRun::SetupRun(const std::wstring& url) {
    WIN32_FIND_DATAW found{};
    const std::wstring folder = DownloadFolder();
    // A plain file in the folder's place, left by a fault test that was ended first.
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(folder.c_str());
    }
    HANDLE search = ::FindFirstFileW((folder + L"\\TalvenorSetup.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }

    work_ = harness::MakeTempFolder(L"engine-" + UniqueToken());
    SetDownloadAddress(url);
    installFolder_ = work_ + L"\\Install Here";
    ::CreateDirectoryW(installFolder_.c_str(), nullptr);
    reportPath_ = work_ + L"\\installer-report.txt";
    ::DeleteFileW(reportPath_.c_str());
    ::SetEnvironmentVariableW(L"SETUP_FAKE_REPORT", reportPath_.c_str());

    dlg_ = std::make_unique<CMainDlg>();
    hwnd_ = dlg_->Create(winlib::AppModule.GetResourceInstance(), CMainDlg::IDD, nullptr);
    if (!hwnd_) return;
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SendMessageW(dlg_->AgreeBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::SendMessageW(dlg_->AgreeBox, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    TypeInstallFolder(installFolder_);

    recorder = Recorder{};
    recorder.bar = ::GetDlgItem(hwnd_, IDC_PROGRESS);
    recorder.label = ::GetDlgItem(hwnd_, IDC_PERCENT);
    hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordCall, nullptr, ::GetCurrentThreadId());
}

SetupRun::~SetupRun() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    SelectLanguageFile();
    // A window that is still there stays, with its dialog object, until the process
    // ends right after the test (each test runs in a process of its own), as setup.exe's
    // stays until its quit: taking a shown window off the screen costs Wine's X11
    // driver two seconds without a window manager.
    if (::IsWindow(hwnd_)) {
        dlg_.release();
        return;
    }
    if (MainDialog == dlg_.get()) MainDialog = nullptr;
}

void SetupRun::SetDownloadAddress(const std::wstring& url) {
    const std::wstring file = work_ + L"\\Engine" + std::to_wstring(++languageFiles_) + L".ini";
    WriteLanguageFile(file, url);
    SelectLanguageFileForTesting(file);
}

void SetupRun::TypeInstallFolder(const std::wstring& folder) {
    ::SetDlgItemTextW(hwnd_, IDC_PATH, folder.c_str());
}

bool SetupRun::Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitCode_ = static_cast<int>(msg.wParam);
                return done();
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

namespace {

// Answers with OK every box the setup window owns, from its own thread, so that the
// test's thread may sit in the box's modal loop; keeps what the first box showed.
class BoxWatcher {
public:
    explicit BoxWatcher(HWND owner) : owner_(owner) {
        thread_ = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~BoxWatcher() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_) {
            ::WaitForSingleObject(thread_, INFINITE);
            ::CloseHandle(thread_);
            thread_ = nullptr;
        }
    }
    bool seen = false;
    harness::BoxContent content;

private:
    static DWORD WINAPI Run(void* argument) {
        auto& self = *static_cast<BoxWatcher*>(argument);
        while (!self.stop_) {
            HWND box = harness::FindOwnedBox(self.owner_, std::chrono::milliseconds(100));
            if (!box) continue;
            ::Sleep(50);  // let the box finish setting itself up
            if (!self.seen) {
                self.content = harness::ReadBox(box);
                self.seen = true;
            }
            harness::PressBoxButton(box, IDOK);
            harness::WaitUntil([&] { return !::IsWindow(box); }, std::chrono::milliseconds(300));
        }
        return 0;
    }
    HWND owner_;
    std::atomic<bool> stop_{false};
    HANDLE thread_ = nullptr;
};

}  // namespace

bool SetupRun::Install(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    if (!hwnd_) return false;
    BoxWatcher watcher(hwnd_);
    ::SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hwnd_, IDC_INSTALL)));
    const bool reached = Pump([&] { return done() || quitCode_.has_value(); }, timeout) && done();
    watcher.Stop();
    boxSeen_ = watcher.seen;
    box_ = watcher.content;
    return reached;
}

bool SetupRun::InstallAndFinish(std::chrono::milliseconds timeout) {
    return Install(timeout, [&] { return dlg_->SetupPhase == PHASE_FINISHED; });
}

bool SetupRun::InstallAndFail(std::chrono::milliseconds timeout) {
    return Install(timeout, [&] { return quitCode_.has_value(); }) && boxSeen_;
}

const std::vector<int>& SetupRun::Positions() const { return recorder.positions; }
const std::vector<std::wstring>& SetupRun::Labels() const { return recorder.labels; }

std::map<std::string, std::string> SetupRun::Report() const {
    std::map<std::string, std::string> report;
    for (const std::string& line : Lines(harness::ReadFileBytes(reportPath_))) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

// --- the download folder's faults -------------------------------------------------

std::string UnixPath(const std::wstring& path) {
    // Wine's own export: the host path of a Windows path, allocated on the process heap.
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* hostPath = toUnix(path.c_str());
    if (!hostPath) return {};
    std::string result = hostPath;
    ::HeapFree(::GetProcessHeap(), 0, hostPath);
    return result;
}

namespace {
const char* const kSmallDiskName = "setup-tests-small";  // what servers.py looks for

// Single quotes for the shell; the paths of the tests hold none.
std::string Quoted(const std::string& text) { return "'" + text + "'"; }
}  // namespace

SmallDisk::SmallDisk(const std::wstring& folder, std::uint32_t bytes) : folder_(UnixPath(folder)) {
    work_ = harness::MakeTempFolder(L"small-disk-" + UniqueToken());
    if (folder_.empty() || UnixPath(work_).empty()) {
        error_ = "no host path (not running under Wine?)";
        return;
    }
    std::string output;
    const int code = RunOnHost("mount -t tmpfs -o size=" + std::to_string(bytes) + " " + kSmallDiskName + " " +
                                   Quoted(folder_),
                               output);
    mounted_ = code == 0;
    if (!mounted_) error_ = "mount ended with " + std::to_string(code) + ": " + output;
}

SmallDisk::~SmallDisk() {
    if (!mounted_) return;
    std::string output;
    RunOnHost("umount -l " + Quoted(folder_), output);
}

int SmallDisk::RunOnHost(const std::string& script, std::string& output) {
    // Wine starts a host program as its own process, but the handle it returns does
    // not wait for it: the script reports through a file that appears when it is done.
    const std::string name = "host" + std::to_string(++scripts_);
    const std::string host = UnixPath(work_) + "/" + name;
    const std::wstring windows = work_ + L"\\" + std::wstring(name.begin(), name.end());
    const std::string text = "exec >" + Quoted(host + ".out") + " 2>&1\n" + script + "\necho $? >" +
                             Quoted(host + ".tmp") + "\nmv " + Quoted(host + ".tmp") + " " + Quoted(host + ".result") +
                             "\n";
    if (!harness::WriteFileBytes(windows + L".sh", text)) return -1;
    const std::string shell = "Z:\\bin\\sh " + host + ".sh";
    std::wstring command(shell.begin(), shell.end());  // ASCII
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        output = "the host shell could not be started (error " + std::to_string(::GetLastError()) + ")";
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const bool done =
        harness::WaitUntil([&] { return harness::FileExists(windows + L".result"); }, std::chrono::seconds(30));
    output = harness::ReadFileBytes(windows + L".out");
    if (!done) return -1;
    return std::atoi(harness::ReadFileBytes(windows + L".result").c_str());
}

BlockedDownloadFolder::BlockedDownloadFolder() {
    const std::wstring folder = DownloadFolder();
    if (harness::FileExists(folder) && !::RemoveDirectoryW(folder.c_str())) {
        // Not empty: what else is in it waits beside it.
        aside_ = folder + L"." + UniqueToken();
        if (!::MoveFileW(folder.c_str(), aside_.c_str())) return;
    }
    blocked_ = harness::WriteFileBytes(folder, "a plain file where the download folder belongs");
}

BlockedDownloadFolder::~BlockedDownloadFolder() {
    const std::wstring folder = DownloadFolder();
    ::DeleteFileW(folder.c_str());
    if (!aside_.empty()) {
        ::MoveFileW(aside_.c_str(), folder.c_str());
    } else {
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
}

// --- the tests' certificate authority ---------------------------------------------

namespace {
HCERTSTORE OpenRootStore() {
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
}
}  // namespace

TrustTestAuthority::TrustTestAuthority() {
    const std::string der = harness::ReadFileBytes(Servers::Get().state + L"\\ca.der");
    HCERTSTORE store = OpenRootStore();
    if (der.empty() || !store) return;
    added_ = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                reinterpret_cast<const BYTE*>(der.data()),
                                                static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                nullptr) != FALSE;
    ::CertCloseStore(store, 0);
}

TrustTestAuthority::~TrustTestAuthority() {
    if (!added_) return;
    const std::string der = harness::ReadFileBytes(Servers::Get().state + L"\\ca.der");
    HCERTSTORE store = OpenRootStore();
    if (!store) return;
    PCCERT_CONTEXT added = ::CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    if (added) {
        PCCERT_CONTEXT found = ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, added,
                                                            nullptr);
        if (found) ::CertDeleteCertificateFromStore(found);  // frees `found`
        ::CertFreeCertificateContext(added);
    }
    ::CertCloseStore(store, 0);
}

}  // namespace engine
