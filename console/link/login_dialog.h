// The first window: operator, user name, password; "Log In" proves the password to the
// server and hands over to the session.
#pragma once

#include <string>

#include "dialog.h"
#include "link/rijndael.h"
#include "server_socket.h"

namespace tellarix {

class LoginDialog : public Dialog {
  public:
    bool Create() { return Dialog::Create(129, nullptr); }
    void SetStatus(std::string_view text);
    // As typed, for the web page's login.
    const std::string& user_name() const { return user_name_; }
    const std::string& password() const { return password_; }

  protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, bool& handled) override;

  private:
    void Attempt();
    // Ends an attempt that failed: the status says why, its connection is closed.
    void Fail(std::string_view status);
    // After the server accepted: booths, main window, receiving thread. False when the main
    // window could not be started.
    bool PostLogin();
    std::string SelectedOperator() const;

    std::string server_text_, port_text_, user_name_, password_;
    ServerAddress server_address_;
    tlx::link::RijndaelCipher cipher_;
    bool attempting_ = false;
};

}  // namespace tellarix
