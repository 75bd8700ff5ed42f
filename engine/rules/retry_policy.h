#pragma once

#include <vector>

namespace setup {

// Error tags carried with a download failure besides a part index 0..39.
inline constexpr int DOWN_TAG_PROBE = 41;
inline constexpr int DOWN_TAG_SYSTEM = 42;
inline constexpr int DOWN_TAG_URL = 43;

// What the window must do about one reported failure.
enum class ErrorAction {
    Ignore,            // nothing: an error box is already up, or an unknown tag
    RestartProbe,      // start a new size probe
    RestartPart,       // start a new attempt for the part (resumes at its received count)
    Park,              // keep the part until the next progress report
    SwitchToWinHttp,   // repeat the Install command on WinHTTP, then call OnSwitchToWinHttp()
    ShowUrlError,      // error box, then quit
    ShowSystemError,   // error box, then quit
    ShowNetworkError,  // error box, then quit
};

// The retry decisions of the download, kept apart from the window so they
// can be checked without threads or sockets.
//
// Failures are retried at once while at most 41 immediate restarts were made
// since the last progress; the probe and all parts share that budget. Past it,
// a failing part is parked until some other part makes progress, because a
// server that drops every connection would otherwise be hammered in a tight
// loop. The download is given up only when every part is parked or complete,
// i.e. when nothing is left running that could ever report progress. A probe
// past its budget gets one switch to WinHTTP with a fresh budget.
class RetryPolicy {
public:
    ErrorAction OnError(int tag);

    // A part reported received bytes: the budget is restored and the parked
    // parts are returned, in the order they failed, for the caller to restart.
    std::vector<int> OnProgress();

    // A part has all its bytes (or is empty); it can fail no more.
    void OnPartDone();

    // The caller switched the stack: fresh budget, nothing done yet.
    void OnSwitchToWinHttp();

    bool UseWinHttp() const { return useWinHttp_; }
    // True once an error box has been decided on; every later failure is
    // ignored so that exactly one box is shown before the setup quits.
    bool ErrorShown() const { return errorShown_ > 0; }
    int RetryCount() const { return retryCount_; }
    const std::vector<int>& ParkedParts() const { return parked_; }
    int DoneCount() const { return doneCount_; }

private:
    ErrorAction ShowError(ErrorAction box);

    int retryCount_ = 0;
    int errorShown_ = 0;
    int doneCount_ = 0;
    bool useWinHttp_ = false;
    std::vector<int> parked_;
};

}  // namespace setup
