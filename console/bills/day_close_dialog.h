// "Day close..." on the bills page: the takings since the last close (the X figures), the
// counted cash with its difference, the X report printed, the day closed (numbered, sealed,
// printed as the Z report) and the history of closes with their reprint.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/bills/bills_database.h"
#include "console/settings_store.h"
#include "core/billing/day_close.h"
#include "core/billing/day_report.h"
#include "core/billing/sqlite_handles.h"
#include "win32/dialog.h"

namespace tlx::console {

class DayCloseDialog : public tlx::win32::Dialog {
  public:
    // `printer` is the bills' report printer.
    DayCloseDialog(BillsDatabase& database, SettingsStore& settings,
                   const std::string& operator_name, tlx::billing::ReportPrinter& printer);

    // Modal over `parent`.
    INT_PTR Run(HWND parent);

    // Runs after a close is stored and printed (the console's backup after a close).
    std::function<void()> after_close;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  private:
    void ShowFigures();
    void ShowDifference();
    void ShowHistory();
    void PrintX();
    void CloseTheDay();
    void ReprintSelected();
    void Print(const std::vector<std::string>& lines, const std::string& job);
    tlx::billing::ReportWords Words();
    // Store texts (UTF-8) in the console's code page.
    tlx::billing::DayClose ForConsole(tlx::billing::DayClose close) const;

    BillsDatabase& database_;
    SettingsStore& settings_;
    const std::string& operator_name_;
    tlx::billing::ReportPrinter& printer_;
    tlx::billing::sqlite::Db db_;  // a connection of the dialog's own
    std::optional<tlx::billing::DayFigures> figures_;
    std::optional<tlx::billing::Cents> difference_;
    std::vector<tlx::billing::DayClose> history_;
};

// What the operator is told about day closes the store lacks (a store restored from an older
// copy): empty when none are missing. Reads the console's highest close from the settings.
std::string MissingClosesNotice(const std::string& store_path, SettingsStore& settings);

}  // namespace tlx::console
