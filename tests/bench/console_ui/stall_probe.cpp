// How long the console keeps the operator waiting, seen from outside:
//   tlx-stallprobe.exe TITLE
// Every 20 ms it sends the top-level window titled TITLE (hidden ones too: the login window and
// the main window share the one user-interface thread) a message that does nothing, and prints
// `probe SENT WAIT_MS`, SENT on the performance counter (the driver's `now` reads the same clock).
// The benchmark scripts take the longest wait within each phase. Runs until killed.
#include <windows.h>

#include <cstdio>

#include "win32/clock.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tlx-stallprobe TITLE\n");
        return 2;
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
        const double next = sent + 0.020 - tlx::win32::CounterSeconds();
        if (next > 0) Sleep(static_cast<DWORD>(next * 1000));
    }
}
