// The first window: operator, user name, password; "Log In" proves the password to the
// server and hands over to the session.
#pragma once

#include <string>

#include "console/booth_registry.h"
#include "console/settings_store.h"
#include "win32/dialog.h"

namespace tlx::console {

class MainWindow;

class LoginDialog : public tlx::win32::Dialog {
  public:
    LoginDialog(SettingsStore& settings, BoothRegistry& booths, MainWindow& main_window)
        : settings_(settings), booths_(booths), main_window_(main_window) {}
    bool Create();
    void SetStatus(std::string_view text);
    // As typed, for the web page's login.
    const std::string& user_name() const { return user_name_; }
    const std::string& password() const { return password_; }

  protected:
    bool OnInitDialog() override;
    bool OnButtonClicked(int id, HWND control) override;
    bool OnClose() override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  private:
    void Attempt();
    // After the server accepted: the booths, then (on a posted message) OpenSession. False
    // when the main window could not be started.
    bool PostLogin();
    // The main window and the receiving thread; false when the main window could not start.
    // In steps, each on a message of its own (start, show, hide the login window), so the
    // window's thread answers between them.
    enum class SessionStep : WPARAM { kStart, kShow, kHide };
    bool OpenSession(SessionStep step);
    static constexpr UINT kWmOpenSession = WM_APP + 1;

    SettingsStore& settings_;
    BoothRegistry& booths_;
    MainWindow& main_window_;
    std::string server_text_, port_text_, user_name_, password_;
    bool attempting_ = false;
    bool session_pending_ = false;  // the server accepted; the main window opens next
};

}  // namespace tlx::console
