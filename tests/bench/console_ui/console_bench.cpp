// The console's page build without a server, timed with the performance counter:
//   tlx-consolebench.exe BOOTHS
// BOOTHS booths are put in the registry (as a booth list would), then the main window's Start
// runs (tabs, the first page's booth controls) and the messages are handled until the first
// page is made, shown and painted, then until every booth has its control. The window and a
// page of spare booth controls are made beforehand, as the console makes them before its login
// window shows. The booth control must be registered (the benchmark's Wine session does that).
// Figures only; nothing here passes or fails on time. windows.h first: the other system headers
// need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/app.h"
#include "console/messages.h"
#include "core/console/geometry.h"
#include "win32/clock.h"

namespace {

// Handles messages until `ready()` holds and nothing but timers is left (paints included),
// waiting for the next one meanwhile. A stray loss report (there is no server) is dropped.
template <class Ready>
void DrainUntil(HWND main_window, Ready ready) {
    MSG msg;
    for (;;) {
        const bool done = ready();
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (done) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
            continue;
        }
        // A timer comes only when nothing else waits, paints included; it is left unhandled
        // (it comes again). Peeking with PM_QS_ flags instead found nothing under Wine before
        // the booths had painted: 0.04 s for a page whose painting alone takes 0.3 s.
        if (done && msg.message == WM_TIMER) return;
        if (msg.message == tlx::console::WM_SERVER_LOST) continue;
        if (IsDialogMessageA(main_window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int booths = argc == 2 ? std::atoi(argv[1]) : 0;
    if (booths < 1) {
        std::fprintf(stderr, "usage: tlx-consolebench BOOTHS\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // As the console makes them: the bills store holder first, then the application.
    static tlx::console::BillsDatabase database;
    static tlx::console::ConsoleApp app(database);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    app.settings.SetPath(std::string(temp) + "tlx-consolebench.ini");
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    app.main_window.SetWorkArea(tlx::console::WorkArea(
        {desktop.left, desktop.top, desktop.right, desktop.bottom}, std::nullopt));
    for (int i = 0; i < booths; ++i) {
        std::string key = std::to_string(1000 + i);  // b000, b001, ...
        key[0] = 'b';
        app.booths.AddBooth(key, "");
    }
    // As before the login window shows: the window and a first page's booth controls made.
    app.main_window.Prepare(true);
    if (!app.main_window.exists()) return 1;

    const double t0 = tlx::win32::CounterSeconds();
    if (!app.main_window.Start()) {
        std::fprintf(stderr, "Start failed\n");
        return 1;
    }
    app.main_window.Open();  // the login window's next step
    const double t1 = tlx::win32::CounterSeconds();
    auto& tabs = app.main_window.tabs();
    DrainUntil(app.main_window.hwnd(), [&] { return tabs.booth_pages().PageBuilt(0); });
    const double t2 = tlx::win32::CounterSeconds();
    const auto& grid = app.main_window.tabs().grid();
    std::printf(
        "page build, %d booths (made-up booth list, no server): Start %.3f s, "
        "first page painted %.3f s (%d booths per page, %.1f ms per booth)\n",
        booths, t1 - t0, t2 - t0, grid.booths_per_page, (t2 - t0) * 1000.0 / booths);
    DrainUntil(app.main_window.hwnd(), [&] { return tabs.booth_pages().done(); });
    std::printf("every booth made, %d booths: %.3f s\n", booths, tlx::win32::CounterSeconds() - t0);
    // For the probe; its message sent before the end is answered now, not after the booths
    // are taken down at exit (that wait counted in full against the page build).
    const double t_end = tlx::win32::CounterSeconds();
    MSG pending;
    PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE);
    std::printf("counters %.6f %.6f\n", t0, t_end);

    std::fflush(stdout);
    SendMessageA(app.main_window.hwnd(), WM_CLOSE, 0, 0);
    app.ExitInstance();
    return 0;
}
