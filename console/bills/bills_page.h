// The bills page: the home of billing. A booth's print request becomes a bill here (composed,
// stored, printed); the page lists the printed bills with the calls of the selected one and
// prints a stored bill again, and voids one: a new bill with the amounts negated, linked to it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "console/bills/bills_database.h"
#include "console/bills/gdi_printer.h"
#include "console/bills/stored_rows.h"
#include "console/settings_store.h"
#include "console/widgets/data_grid.h"
#include "core/billing/bill.h"
#include "core/billing/report_printer.h"
#include "win32/dialog.h"

namespace tlx::console {

class CBillsDlg : public tlx::win32::Dialog {
  public:
    // Initialises COM on this thread and opens the store; without one the operator is told
    // and the console runs on without storing. `operator_name` is the logged-in operator's.
    CBillsDlg(BillsDatabase& database, SettingsStore& settings, const std::string& operator_name);
    ~CBillsDlg() override;

    // A booth's print text: compose, store, print. One at a time, on the window's thread.
    void NewBill(std::string_view print_text);
    void PrintBill(tlx::billing::Bill bill);
    // The bills list, read again; it stands on its first row.
    void RefreshBills();
    void ShowCallsOfCurrentBill();
    void ShowCalls(std::uint32_t bill_id);
    void ReprintSelectedBill();
    // Asks why and whether, stores the void, prints it and lists it.
    void VoidSelectedBill();

    // Runs after the day is closed (day_close_dialog.h).
    std::function<void()> after_day_close;

    // The printer bills go to instead of the default printer (benchmarks hand one in).
    void SetPrinter(std::unique_ptr<tlx::billing::ReportPrinter> printer) {
        printer_ = std::move(printer);
    }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

  private:
    // Print only with a bill to print: a store, a list and a selected row; Void as well, in a
    // store of the second edition.
    void UpdatePrintButton();
    // Under the grids: whether the selected bill is voided or a void.
    void ShowStateOfCurrentBill();
    std::int64_t CurrentBillId();

    BillsDatabase& database_;
    SettingsStore& settings_;
    const std::string& operator_name_;
    GdiPrinter gdi_printer_;
    std::unique_ptr<tlx::billing::ReportPrinter> printer_;  // when handed in
    StoredRows bills_rows_, calls_rows_;
    DataGrid bills_grid_, calls_grid_;
    bool bills_loaded_ = false;
    bool com_ready_ = false;
};

}  // namespace tlx::console
