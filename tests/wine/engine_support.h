// Helpers of the download engine tests: the download servers that ctest starts
// (tests/servers/servers.py), and one setup run from the Install command to the
// finished page or to the error box and the quit, with what the window showed on the way.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/main_dlg.h"

namespace engine {

// The servers of the fixture: their ports, state folder and served files.
struct Servers {
    bool available = false;
    std::wstring state;  // Windows path of the fixture's state folder
    int http = 0, https = 0, untrusted = 0, script = 0;
    int refused = 0;  // a port kept bound without listening: every connection is refused

    struct Served {
        std::uint64_t size = 0;
        std::string sha256;
        std::wstring path;  // Windows path of the served file
    };
    // A file of the servers' tree, e.g. "s1000003/TalvenorSetup.exe".
    std::optional<Served> File(const std::string& relative) const;

    // Lines of the scripted server's log for one token ("<method> <range or -> ...").
    std::vector<std::string> ScriptLog(const std::wstring& token) const;
    // Lines of nginx's access log: "<port> <method> <uri> \"<range>\" <status> <bytes>".
    std::vector<std::string> NginxLog() const;

    static const Servers& Get();
};

// Skips the test when ctest did not start the servers (wine_tests run by hand).
#define ENGINE_REQUIRE_SERVERS()                                                          \
    do {                                                                                  \
        if (!engine::Servers::Get().available) GTEST_SKIP() << "no servers (run by ctest)"; \
    } while (0)

// A token no other test uses, for the scripted server's addresses.
std::wstring UniqueToken();

// The all-users documents folder + "\Quorvane", where the download lands.
std::wstring DownloadFolder();

// Files under the user's internet cache whose names begin with `stem`.
int CachedCopies(const std::wstring& stem);

// The setup window driven from the Install command on, as a user drives it.
class SetupRun {
public:
    // Removes what earlier runs left in the download folder, points the texts at a
    // language file whose download address is `url`, makes the window, ticks the
    // agreement box and types a fresh installation folder (one with a blank in its name)
    // into the path box. The fake installer reports to ReportPath().
    explicit SetupRun(const std::wstring& url);
    ~SetupRun();
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    CMainDlg& Dialog() { return *dlg_; }
    // Points the texts at a new language file with another download address.
    void SetDownloadAddress(const std::wstring& url);
    HWND Window() const { return hwnd_; }
    const std::wstring& InstallFolder() const { return installFolder_; }
    void TypeInstallFolder(const std::wstring& folder);
    const std::wstring& ReportPath() const { return reportPath_; }

    // Presses Install (the button's click notification) and pumps until the finished
    // page, the quit of the setup, or the time is up. True on the finished page.
    // Any box the window shows meanwhile is read into Box() and answered with OK.
    bool InstallAndFinish(std::chrono::milliseconds timeout);
    // Presses Install and pumps until the setup quits: true when it quit after a box,
    // which was read into Box() and answered with OK.
    bool InstallAndFail(std::chrono::milliseconds timeout);
    // Presses Install and pumps until `done`, the quit, or the time is up; boxes are
    // answered as above. True when `done`.
    bool Install(std::chrono::milliseconds timeout, const std::function<bool()>& done);

    const harness::BoxContent& Box() const { return box_; }
    bool BoxSeen() const { return boxSeen_; }
    // The exit code of WM_QUIT, when the setup has quit.
    std::optional<int> QuitCode() const { return quitCode_; }

    // Every PBM_SETPOS the bar received and every text the percentage label got, in order.
    const std::vector<int>& Positions() const;
    const std::vector<std::wstring>& Labels() const;

    // The fake installer's report ("key" -> "value"); empty when it did not run.
    std::map<std::string, std::string> Report() const;

private:
    bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    std::wstring work_;
    int languageFiles_ = 0;
    std::wstring installFolder_;
    std::wstring reportPath_;
    std::unique_ptr<CMainDlg> dlg_;
    HWND hwnd_ = nullptr;
    HHOOK hook_ = nullptr;
    harness::BoxContent box_;
    bool boxSeen_ = false;
    std::optional<int> quitCode_;
};

// The path under which Wine's host system sees a Windows path ("" when there is none).
std::string UnixPath(const std::wstring& path);

// A small file system (tmpfs) mounted on an existing, empty folder while the object
// lives, through the host's own mount command. Mounting needs root (or the right to
// mount); without it Mounted() is false and Error() tells why. Unmounted lazily at the
// end, so that a file the setup left open does not keep it; one left by a test that
// was ended first is unmounted by the servers' fixture (tests/servers/servers.py).
class SmallDisk {
public:
    SmallDisk(const std::wstring& folder, std::uint32_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Error() const { return error_; }

private:
    // Runs a shell script on the host and waits for it; its exit code, or -1.
    int RunOnHost(const std::string& script, std::string& output);

    std::string folder_;
    std::wstring work_;
    int scripts_ = 0;
    bool mounted_ = false;
    std::string error_;
};

// A plain file where the download folder must be: the folder cannot be created. The
// folder (emptied of earlier downloads by SetupRun) is taken away while the object
// lives and made again afterwards.
class BlockedDownloadFolder {
public:
    BlockedDownloadFolder();
    ~BlockedDownloadFolder();
    BlockedDownloadFolder(const BlockedDownloadFolder&) = delete;
    BlockedDownloadFolder& operator=(const BlockedDownloadFolder&) = delete;
    bool Blocked() const { return blocked_; }

private:
    std::wstring aside_;
    bool blocked_ = false;
};

// Trusts the fixture's own certificate authority while the object lives.
class TrustTestAuthority {
public:
    TrustTestAuthority();
    ~TrustTestAuthority();
    bool Trusted() const { return added_; }

private:
    bool added_ = false;
};

}  // namespace engine
