// Tellarix.exe: the operator console's entry point.
#include <windows.h>

#include <string>

#include "console/app.h"
#include "core/console/texts.h"

namespace {
// The process-wide objects, in this order: the bills store holder, then the application,
// whose bills page opens the store (and says so when it cannot) before the login window.
tlx::console::BillsDatabase the_database;
tlx::console::ConsoleApp the_app(the_database);
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto& app = the_app;
    try {
        if (!app.InitInstance()) {
            app.ExitInstance();
            return 1;
        }
        const int code = app.Run();
        app.ExitInstance();
        return code;
    } catch (...) {
        // Nothing a handler let through may take the program down silently.
        namespace texts = tlx::console::texts;
        MessageBoxA(nullptr, std::string(texts::kUnexpectedProblem).c_str(),
                    std::string(texts::kAppCaption).c_str(), MB_OK | MB_ICONERROR);
        return 1;
    }
}
