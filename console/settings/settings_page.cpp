#include "console/settings/settings_page.h"

#include "console/resource.h"
#include "console/settings/booth_name_dialog.h"
#include "console/widgets/property_grid.h"
#include "core/console/settings_keys.h"
#include "core/console/texts.h"

namespace tlx::console {

namespace cc = tlx::console;
namespace cs = tlx::console::settings;
using tlx::widgets::PropertyGrid;
using tlx::win32::Button;
using tlx::win32::ListView;

namespace {

int ButtonId(cc::CurrencyButton button) {
    switch (button) {
        case cc::CurrencyButton::kEuro:
            return IDC_EURO;
        case cc::CurrencyButton::kDollar:
            return IDC_DOLLAR;
        case cc::CurrencyButton::kOther:
            break;
    }
    return IDC_OTHER;
}

// The list row of a booth key; keys are told apart byte for byte, as everywhere.
int RowOf(const ListView& list, const std::string& key) {
    for (int row = 0, n = list.Count(); row < n; ++row)
        if (list.Cell(row, 0) == key) return row;
    return -1;
}

}  // namespace

bool SettingsPage::OnInitDialog() {
    const auto list = Get<ListView>(IDC_BOOTH_LIST);
    list.AddExtendedStyle(LVS_EX_FULLROWSELECT);
    const int half = list.ClientRect().right / 2;
    list.InsertColumn(0, "Server-side name", half);
    list.InsertColumn(1, "Booth name", half);
    int row = 0;
    for (const auto& [key, booth] : booths_.booths()) {
        const std::string alias = settings_.ReadString(cs::kAliasesSection, key);
        list.InsertRow(row, key);
        list.SetCell(row++, 1, alias.empty() ? key : alias);
    }

    const std::string unit = settings_.Read(cs::kCurrency);
    const auto button = cc::ButtonForUnit(unit);
    Get<Button>(ButtonId(button)).SetChecked(true);
    const auto other = Get<tlx::win32::Edit>(IDC_OTHER_CURRENCY);
    other.Enable(button == cc::CurrencyButton::kOther);
    if (button == cc::CurrencyButton::kOther) other.SetText(unit);

    const auto grid = Get<PropertyGrid>(IDC_BILL_GRID);
    grid.AddCategory(cs::kGridCategory);
    for (const auto& r : cs::kGridRows) grid.AddRow(r.name, r.caption, settings_.Read(r.setting));
    MarkChanged(false);
    return true;
}

bool SettingsPage::OnButtonClicked(int id, HWND control) {
    switch (id) {
        case IDC_EDIT_BOOTH:
            Rename(Get<ListView>(IDC_BOOTH_LIST).Next(-1, LVNI_SELECTED));
            return true;
        case IDC_EURO:
        case IDC_DOLLAR:
        case IDC_OTHER:
            // The typed unit is read when saving.
            Get(IDC_OTHER_CURRENCY).Enable(id == IDC_OTHER);
            MarkChanged(true);
            return true;
        case IDC_SAVE_SETTINGS:
            Save();
            return true;
        default:
            return Dialog::OnButtonClicked(id, control);
    }
}

bool SettingsPage::OnNotify(const NMHDR& header, LRESULT& result) {
    result = 0;
    if (header.idFrom == IDC_BOOTH_LIST && header.code == NM_DBLCLK) {
        Rename(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
        return true;
    }
    if (header.idFrom == IDC_BILL_GRID && header.code == PropertyGrid::kValueChanged) {
        MarkChanged(true);
        return true;
    }
    return false;
}

void SettingsPage::Rename(int row) {
    if (row < 0) return;
    const auto list = Get<ListView>(IDC_BOOTH_LIST);
    BoothNameDialog dialog(list.Cell(row, 0), list.Cell(row, 1));
    if (!dialog.Ask(hwnd())) return;
    list.SetCell(row, 1, dialog.booth_name());
    MarkChanged(true);
}

void SettingsPage::Save() {
    const auto grid = Get<PropertyGrid>(IDC_BILL_GRID);
    grid.EndEditing(true);
    const std::string unit = cc::UnitForButton(CheckedCurrency(), ItemText(IDC_OTHER_CURRENCY));
    settings_.Write(cs::kCurrency, unit);
    // Every booth on the list gets its name written, changed or not.
    const auto list = Get<ListView>(IDC_BOOTH_LIST);
    for (const auto& [key, booth] : booths_.booths()) {
        const int row = RowOf(list, key);
        if (row < 0) continue;
        const std::string name = list.Cell(row, 1);
        booth->ApplyDisplayName(name);
        booth->ApplyCurrency(unit);
        settings_.WriteString(cs::kAliasesSection, key, name);
    }
    for (const auto& r : cs::kGridRows) settings_.Write(r.setting, grid.Value(r.name).value_or(""));
    MarkChanged(false);
}

void SettingsPage::Close() {
    if (!exists()) return;
    Get<PropertyGrid>(IDC_BILL_GRID).EndEditing(true);
    if (Get(IDC_SAVE_SETTINGS).Enabled() &&
        tlx::win32::MessageBox(hwnd(), cc::texts::kSaveChanges, cc::texts::kWarningCaption,
                               MB_YESNO | MB_ICONQUESTION) == IDYES) {
        Save();
    }
    Destroy();
}

void SettingsPage::MarkChanged(bool changed) const {
    Get(IDC_SAVE_SETTINGS).Enable(changed);
}

cc::CurrencyButton SettingsPage::CheckedCurrency() const {
    if (Get<Button>(IDC_EURO).Checked()) return cc::CurrencyButton::kEuro;
    if (Get<Button>(IDC_DOLLAR).Checked()) return cc::CurrencyButton::kDollar;
    return cc::CurrencyButton::kOther;
}

}  // namespace tlx::console
