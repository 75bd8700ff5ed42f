// What one thread costs in memory under Wine: starts 40 threads that only wait, the way
// the setup runs its 40 part threads, so that bench.py can read the process's resident
// memory before and after. Talks over stdin/stdout: prints "idle", waits for a line,
// starts the threads, prints "threads", waits for a line, ends.
#include <windows.h>

#include <cstdio>

namespace {

HANDLE Release;

DWORD WINAPI Wait(void*) {
    ::WaitForSingleObject(Release, INFINITE);
    return 0;
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

void AwaitLine() {
    char line[16];
    std::fgets(line, sizeof line, stdin);
}

}  // namespace

int main() {
    Release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Say("idle");
    AwaitLine();
    for (int i = 0; i < 40; ++i) {
        HANDLE thread = ::CreateThread(nullptr, 0, &Wait, nullptr, 0, nullptr);
        if (!thread) return 1;
        ::CloseHandle(thread);
    }
    ::Sleep(200);  // let every thread reach its wait
    Say("threads");
    AwaitLine();
    ::SetEvent(Release);
    return 0;
}
