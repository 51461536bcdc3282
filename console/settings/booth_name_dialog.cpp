#include "console/settings/booth_name_dialog.h"

#include "console/resource.h"

namespace tlx::console {

// A longer name would come back cut from the settings file at the next start.
constexpr std::size_t kMaxBoothNameChars = 254;

bool BoothNameDialog::Ask(HWND owner) {
    return RunModal(IDD_BOOTH_NAME, owner) == IDOK;
}

bool BoothNameDialog::OnInitDialog() {
    SetItemText(IDC_SERVER_NAME, server_name_);
    const auto name = Get<tlx::win32::Edit>(IDC_BOOTH_NAME);
    name.LimitText(kMaxBoothNameChars);
    name.SetText(booth_name_);
    name.Select(0, -1);
    SetFocus(name);
    return false;  // the focus is set
}

void BoothNameDialog::OnOK() {
    booth_name_ = ItemText(IDC_BOOTH_NAME);
    Dialog::OnOK();
}

}  // namespace tlx::console
