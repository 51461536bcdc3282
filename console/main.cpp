// Tellarix.exe: the operator console's entry point.
#include <windows.h>

#include <string>

#include "app.h"
#include "console/texts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto& app = tellarix::App();
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
