// The console's user-interface side without a server, timed with the performance counter:
//   tlx-consolebench.exe DLL BOOTHS [EVENTS]
// 1. Page build: BOOTHS booths are put in the registry (as a booth list would), then the main
//    window's Start runs (tabs, one booth control per booth, the first page shown) and the
//    message queue is drained until the first page has painted.
// 2. With EVENTS: a feeder thread posts dial / connect / finish events round-robin over the
//    booths as fast as the queue takes them (what the receiving thread does), while this
//    thread runs the console's message loop; then every booth's row count is checked.
// The booth control library DLL is registered first (in the Wine prefix the harness made).
// Figures only; nothing here passes or fails on time.
// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app.h"
#include "console/geometry.h"
#include "messages.h"

using tellarix::App;

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

constexpr UINT WM_FEED_DONE = WM_APP + 1;

// Dispatches what is queued, paints included, until nothing is left. A stray loss report
// (there is no server) is dropped.
void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == tellarix::WM_SERVER_LOST) continue;
        if (App().main_window.exists() && IsDialogMessageA(App().main_window.hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string KeyOf(int booth) {
    char key[16];
    std::snprintf(key, sizeof key, "b%03d", booth);
    return key;
}

int RowsShown(HWND booth) {
    HWND list = nullptr;
    EnumChildWindows(
        booth,
        [](HWND child, LPARAM out) -> BOOL {
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpiA(cls, WC_LISTVIEWA) != 0) return TRUE;
            *reinterpret_cast<HWND*>(out) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&list));
    return list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

// Event i goes to booth i mod n; each booth runs dial, connect, finish in turn.
void Feed(HWND main, int booths, int events) {
    using tellarix::PostTexts;
    for (int i = 0; i < events; ++i) {
        const int booth = i % booths;
        const std::string key = KeyOf(booth);
        auto post = [&](UINT msg, std::string first, std::string rest, bool two) {
            for (;;) {
                auto a = std::make_unique<std::string>(first);
                auto b = two ? std::make_unique<std::string>(rest) : nullptr;
                if (PostTexts(main, msg, std::move(a), std::move(b))) return;
                Sleep(1);  // the queue is full: wait for the console as the receiver does
            }
        };
        switch ((i / booths) % 3) {
            case 0:
                post(tellarix::WM_CALL_DIAL, key, "0049301234567;Berlin fixed;0.12", true);
                break;
            case 1:
                post(tellarix::WM_CALL_CONNECTED, key, {}, false);
                break;
            default:
                post(tellarix::WM_CALL_FINISHED, key + ";" + std::to_string(60 + booth) + ";1.25",
                     {}, false);
                break;
        }
    }
    while (!PostMessageA(main, WM_FEED_DONE, 0, 0)) Sleep(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tlx-consolebench DLL BOOTHS [EVENTS]\n");
        return 2;
    }
    const int booths = std::atoi(argv[2]);
    const int events = argc > 3 ? std::atoi(argv[3]) : 0;
    if (booths < 1 || events < 0) return 2;

    if (FAILED(OleInitialize(nullptr))) return 1;
    HMODULE dll = LoadLibraryA(argv[1]);
    auto reg = dll ? reinterpret_cast<HRESULT(WINAPI*)()>(
                         reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")))
                   : nullptr;
    if (!reg || FAILED(reg())) {
        std::fprintf(stderr, "cannot register %s\n", argv[1]);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    auto& app = App();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    app.settings.SetPath(std::string(temp) + "tlx-consolebench.ini");
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    app.main_window.SetWorkArea(tlx::console::WorkArea(
        {desktop.left, desktop.top, desktop.right, desktop.bottom}, std::nullopt));
    for (int i = 0; i < booths; ++i) app.booths.AddBooth(KeyOf(i), "");
    if (!app.main_window.Create()) return 1;

    const double t0 = Now();
    if (!app.main_window.Start()) {
        std::fprintf(stderr, "Start failed\n");
        return 1;
    }
    const double t1 = Now();
    DrainQueue();
    const double t2 = Now();
    const auto& grid = app.main_window.tabs().grid();
    std::printf(
        "page build, %d booths (made-up booth list, no server): Start %.3f s, "
        "first page painted %.3f s (%d booths per page, %.1f ms per booth)\n",
        booths, t1 - t0, t2 - t0, grid.booths_per_page, (t2 - t0) * 1000.0 / booths);

    int status = 0;
    if (events > 0) {
        HWND main = app.main_window.hwnd();
        const double e0 = Now();
        std::thread feeder(Feed, main, booths, events);
        MSG msg;
        bool done = false;
        while (!done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_FEED_DONE) {
                done = true;
                continue;
            }
            if (msg.message == tellarix::WM_SERVER_LOST) continue;
            if (IsDialogMessageA(main, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const double e1 = Now();
        DrainQueue();
        const double e2 = Now();
        feeder.join();
        int wrong = 0;
        for (int b = 0; b < booths; ++b) {
            int dials = 0;
            for (int i = b; i < events; i += booths) dials += (i / booths) % 3 == 0;
            const auto found = app.booths.booths().find(KeyOf(b));
            const auto* booth = found == app.booths.booths().end() ? nullptr : found->second.get();
            if (!booth || RowsShown(booth->window()) != dials) ++wrong;
        }
        std::printf(
            "events, %d over %d booths (first page visible): %.0f events/s applied "
            "(%.3f s), then %.3f s until painted; %d booth(s) with wrong row counts%s\n",
            events, booths, events / (e1 - e0), e1 - e0, e2 - e1, wrong,
            wrong ? "" : " -> none lost");
        status = wrong ? 1 : 0;
    }
    std::fflush(stdout);
    SendMessageA(app.main_window.hwnd(), WM_CLOSE, 0, 0);
    app.ExitInstance();
    return status;
}
