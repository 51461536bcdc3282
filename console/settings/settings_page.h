// The "Settings" page: booth names, the currency every booth shows, and the company data and
// tax printed on bills. Saving writes the settings file and tells the running booths their
// names and currency at once. The "Save settings" button is enabled exactly while there are
// changes to save.
#pragma once

#include "console/booth_registry.h"
#include "console/settings_store.h"
#include "core/console/currency.h"
#include "win32/dialog.h"

namespace tlx::console {

class SettingsPage : public tlx::win32::Dialog {
  public:
    SettingsPage(SettingsStore& settings, BoothRegistry& booths)
        : settings_(settings), booths_(booths) {}

    // Writes currency, booth names and the grid's rows; names and currency go to the booths
    // that are on the list.
    void Save();
    // At exit, while the booths are still there: offers to save unsaved changes, then closes.
    void Close();

  protected:
    bool OnInitDialog() override;
    bool OnButtonClicked(int id, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

  private:
    void Rename(int row);
    void MarkChanged(bool changed) const;
    tlx::console::CurrencyButton CheckedCurrency() const;

    SettingsStore& settings_;
    BoothRegistry& booths_;
};

}  // namespace tlx::console
