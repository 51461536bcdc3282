// How long the console keeps the operator waiting, seen from outside:
//   tlx-stallprobe.exe TITLE
// Every 20 ms it sends the top-level window titled TITLE (hidden ones too: the login window and
// the main window share the one user-interface thread) a message that does nothing, and prints
// `probe SENT WAIT_MS`, SENT on the performance counter (the driver's `now` reads the same clock).
// The benchmark scripts take the longest wait within each phase. Runs until killed.
#include <windows.h>

#include <cstdio>

#include "win32/clock.h"
#include "win32/handles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tlx-stallprobe TITLE\n");
        return 2;
    }
    // A periodic timer paces the probes: one every 20 ms, whatever a probe waited.
    tlx::win32::UniqueHandle tick(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER first{};
    first.QuadPart = -200000;  // 20 ms, in 100 ns units, relative
    if (!tick || !SetWaitableTimer(tick.Get(), &first, 20, nullptr, nullptr, FALSE)) {
        std::fprintf(stderr, "tlx-stallprobe: no timer (%lu)\n", GetLastError());
        return 1;
    }
    HWND target = nullptr;
    for (;;) {
        if (!target || !IsWindow(target)) target = FindWindowA(nullptr, argv[1]);
        const double sent = tlx::win32::CounterSeconds();
        if (target) {
            DWORD_PTR answer = 0;
            // A window that is gone or hung for a minute ends the wait; the next probe looks again.
            if (SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer)) {
                const double waited = tlx::win32::CounterSeconds() - sent;
                std::printf("probe %.4f %.1f\n", sent, waited * 1000);
                std::fflush(stdout);
            } else {
                target = nullptr;
            }
        }
        WaitForSingleObject(tick.Get(), INFINITE);
    }
}
