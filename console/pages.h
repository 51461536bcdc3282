// The pages after the booth pages. Their contents arrive with their own work; for now each
// is an empty child page so the tabs switch between them.
#pragma once

#include <string>

#include "win32/dialog.h"

namespace tellarix {

class SettingsPage : public tlx::win32::Dialog {};

class WebPage : public tlx::win32::Dialog {};

// The bills page. Billing (composing, storing and printing the bill) is not built yet:
// NewBill only keeps the last booth text it was handed, so the print route can be checked
// end to end. It does not bill anything.
class CBillsDlg : public tlx::win32::Dialog {
  public:
    CBillsDlg();
    ~CBillsDlg() override;
    void NewBill(std::string calls_text);
    const std::string& last_calls_text() const { return last_calls_text_; }
    int bills_received() const { return bills_received_; }

  private:
    bool com_ready_ = false;
    std::string last_calls_text_;
    int bills_received_ = 0;
};

}  // namespace tellarix
