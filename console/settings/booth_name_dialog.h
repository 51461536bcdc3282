// The small window that renames a booth: the server's name for it shown, the booth's name
// to edit.
#pragma once

#include <string>

#include "win32/dialog.h"

namespace tlx::console {

class BoothNameDialog : public tlx::win32::Dialog {
  public:
    BoothNameDialog(std::string server_name, std::string booth_name)
        : server_name_(std::move(server_name)), booth_name_(std::move(booth_name)) {}
    // Runs over `owner` until OK or Cancel; true for OK, with the edited name in booth_name().
    bool Ask(HWND owner);
    const std::string& booth_name() const { return booth_name_; }

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    std::string server_name_;
    std::string booth_name_;
};

}  // namespace tlx::console
