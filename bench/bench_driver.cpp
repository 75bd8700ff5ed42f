// Plays the user of setup.exe for the benchmark: ticks the licence box, presses Install and
// waits for the finished page, then ends the setup. It prints one line per event on its
// standard output, each with the wall-clock time (Unix seconds), for bench/bench.py:
//   started <t>     the setup window is up
//   install <t>     the moment just before the click on Install
//   finished <t>    the finished page is shown
//   ended <t> <code>  the setup ended by itself (an error box was answered, or it crashed)
//   timeout <t>     nothing of the above within the time limit
// The download itself is timed from the Linux side (bench.py watches the download folder).
//   bench_driver.exe <setup.exe> <time limit in seconds>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "ui/control_ids.h"

using namespace harness;

namespace {

double UnixNow() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ull) / 1e7;  // 100 ns since 1601 -> s since 1970
}

void Say(const char* event, const char* extra = "") {
    std::printf("%s %.6f%s\n", event, UnixNow(), extra);
    std::fflush(stdout);
}

void Click(HWND window, int controlId) {
    const RECT rect = WindowRect(::GetDlgItem(window, controlId));
    ::SetForegroundWindow(window);
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_driver <setup.exe> <time limit in seconds>\n");
        return 2;
    }
    const auto limit = std::chrono::seconds(std::wcstol(argv[2], nullptr, 10));

    Process setup = Process::Start(argv[1]);
    HWND window = setup.FindMainWindow(L"#32770", 60s);
    if (!window) {
        Say("ended", " 0");
        std::fprintf(stderr, "the setup window did not appear\n");
        return 1;
    }
    Say("started");
    ::Sleep(1000);  // the window paints its skin and settles
    Click(window, IDC_AGREE);
    ::Sleep(500);

    Say("install");
    Click(window, IDC_INSTALL);

    WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(window, IDC_START_NOW)) || !setup.Running(); }, limit);
    if (!setup.Running()) {
        char code[32];
        std::snprintf(code, sizeof code, " %lu", setup.Wait(0s));
        Say("ended", code);
        return 1;
    }
    if (!::IsWindowVisible(::GetDlgItem(window, IDC_START_NOW))) {
        Say("timeout");
        return 1;
    }
    Say("finished");
    // The measurement is over; the setup is ended here rather than by Start Now, so no
    // product window is left behind (the Process object ends it).
    return 0;
}
