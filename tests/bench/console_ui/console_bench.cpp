// The console's page build without a server, timed with the performance counter:
//   tlx-consolebench.exe BOOTHS
// BOOTHS booths are put in the registry (as a booth list would), then the main window's Start
// runs (tabs, one booth control per booth, the first page shown) and the message queue is
// drained until the first page has painted. The booth control must be registered (the
// benchmark's Wine session does that). Figures only; nothing here passes or fails on time.
// windows.h first: the other system headers need its types.
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

// Dispatches what is queued, paints included, until nothing is left. A stray loss report
// (there is no server) is dropped.
void DrainQueue(HWND main_window) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
    if (!app.main_window.Create()) return 1;

    const double t0 = tlx::win32::CounterSeconds();
    if (!app.main_window.Start()) {
        std::fprintf(stderr, "Start failed\n");
        return 1;
    }
    const double t1 = tlx::win32::CounterSeconds();
    DrainQueue(app.main_window.hwnd());
    const double t2 = tlx::win32::CounterSeconds();
    const auto& grid = app.main_window.tabs().grid();
    std::printf(
        "page build, %d booths (made-up booth list, no server): Start %.3f s, "
        "first page painted %.3f s (%d booths per page, %.1f ms per booth)\n",
        booths, t1 - t0, t2 - t0, grid.booths_per_page, (t2 - t0) * 1000.0 / booths);

    std::fflush(stdout);
    SendMessageA(app.main_window.hwnd(), WM_CLOSE, 0, 0);
    app.ExitInstance();
    return 0;
}
