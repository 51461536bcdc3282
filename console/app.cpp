#include "console/app.h"

#include <commctrl.h>
#include <winsock2.h>

#include <cstdio>

#include "console/axhost/control_site.h"
#include "console/resource.h"
#include "console/step_log.h"
#include "console/widgets/property_grid.h"
#include "core/console/geometry.h"
#include "core/console/settings_keys.h"
#include "core/console/texts.h"
#include "win32/clock.h"
#include "win32/module.h"

namespace tlx::console {

ConsoleApp::ConsoleApp(BillsDatabase& database)
    : database_(database),
      login(settings, booths, main_window),
      main_window(booths, settings, database, login) {
    main_window.OnSessionLost([this] { ShowLogin(); });
}

ConsoleApp::~ConsoleApp() {
    booths.DropAll();
    if (sockets_ready_) WSACleanup();
}

bool ConsoleApp::InitInstance() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        char text[256] = {};
        LoadStringA(tlx::win32::ThisModule(), IDS_SOCKETS_FAILED, text, sizeof text);
        tlx::win32::MessageBox(nullptr, text, tlx::console::texts::kAppCaption, MB_OK);
        return false;
    }
    sockets_ready_ = true;

    // Control hosting needs the common controls (tabs, the booths' lists) registered.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_STANDARD_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
    tlx::widgets::PropertyGrid::Register();

    settings.SetPath(SettingsStore::ProgramSettingsPath());
    // Off this thread; the store opened (or did not) before the settings were read.
    database_.StartBackups(settings.Read(tlx::console::settings::kBackupFolder));

    ShowLogin();
    return true;
}

void ConsoleApp::ShowLogin() {
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    std::optional<tlx::console::Rect> taskbar;
    if (HWND tray = FindWindowA("Shell_TrayWnd", nullptr)) {
        RECT r{};
        if (GetWindowRect(tray, &r)) taskbar = tlx::console::Rect{r.left, r.top, r.right, r.bottom};
    }
    main_window.SetWorkArea(tlx::console::WorkArea(
        {desktop.left, desktop.top, desktop.right, desktop.bottom}, taskbar));

    // At start the booths of a first page are made before the login window shows, so the
    // operator never waits on them; after a lost connection, while the operator types.
    const bool first_show = !login.exists();
    if (first_show) {
        main_window.Prepare(true);
        login.Create();
    }
    login.SetStatus(tlx::console::texts::kStatusPrompt);
    ShowWindow(login.hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(login.hwnd());
    if (!first_show) main_window.Prepare(false);
}

namespace {

// A message whose handling the probe would see as a stall, logged when its handling ends.
struct LongMessage {
    const MSG& msg;
    double start;
    ~LongMessage() {
        if (start <= 0.0) return;
        char window_class[64] = {};
        GetClassNameA(msg.hwnd, window_class, sizeof window_class);
        char name[96];
        std::snprintf(name, sizeof name, "message-0x%04x-%s", msg.message, window_class);
        StepTimer::Log(name, start, 0.040);
    }
};

}  // namespace

int ConsoleApp::Run() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        const double start = StepTimer::on() ? tlx::win32::CounterSeconds() : 0.0;
        const LongMessage long_message{msg, start};
        // A hosted control with the focus (the web page, a booth) sees its keys first.
        if (ControlSite::TranslateKey(&msg)) continue;
        if (login.exists() && IsDialogMessageA(login.hwnd(), &msg)) continue;
        if (main_window.exists() && IsDialogMessageA(main_window.hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int ConsoleApp::ExitInstance() {
    // A backup under way ends before the windows go; its outcome is no longer told.
    database_.StopBackups();
    // Unsaved settings may hold booth names: saving them needs the booths still there.
    main_window.tabs().settings().Close();
    booths.DropAll();
    main_window.tabs().DropSpares();
    main_window.Destroy();
    login.Destroy();
    return 0;
}

}  // namespace tlx::console
