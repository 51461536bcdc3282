// The application object: the process-wide parts of the console, start-up and ending.
#pragma once

#include "console/bills/bills_database.h"
#include "console/booth_registry.h"
#include "console/connection/login_dialog.h"
#include "console/main_window.h"
#include "console/settings_store.h"

namespace tlx::console {

class ConsoleApp {
  public:
    // The bills store holder is made before the application and outlives it.
    explicit ConsoleApp(BillsDatabase& database);
    ~ConsoleApp();
    ConsoleApp(const ConsoleApp&) = delete;
    ConsoleApp& operator=(const ConsoleApp&) = delete;

    // Sockets, control hosting, the settings path, then the login window. False ends the
    // program.
    bool InitInstance();
    int ExitInstance();
    // Work area into the main window, then the login window with its prompt.
    void ShowLogin();
    int Run();

  private:
    BillsDatabase& database_;  // made first, outlives the application

  public:
    // Constructed in this order; destroyed in the reverse one. The windows only keep
    // references to the later members until they are used after start-up.
    LoginDialog login;
    MainWindow main_window;
    SettingsStore settings;
    BoothRegistry booths;

  private:
    bool sockets_ready_ = false;
};

}  // namespace tlx::console
