// The bills page: the home of billing. A booth's print request becomes a bill here (composed,
// stored, printed); the page lists the printed bills with the calls of the selected one and
// prints a stored bill again, and voids one: a new bill with the amounts negated, linked to it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "console/bills/bill_preview.h"
#include "console/bills/bills_database.h"
#include "console/bills/gdi_printer.h"
#include "console/bills/print_follower.h"
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
    // The selected bill on screen as it will print; in a PDF file the operator names. Neither
    // needs a printer (bills_page_output.cpp).
    void PreviewSelectedBill();
    void SaveSelectedBillAsPdf();

    // The printer bills go to instead of the default printer (benchmarks hand one in).
    void SetPrinter(std::unique_ptr<tlx::billing::ReportPrinter> printer) {
        printer_ = std::move(printer);
    }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  private:
    // Print only with a bill to print: a store, a list and a selected row; Void as well, in a
    // store of the second edition.
    void UpdatePrintButton();
    // Under the grids: whether the selected bill is voided or a void.
    void ShowStateOfCurrentBill();
    std::int64_t CurrentBillId();
    // The selected bill as stored, with what a void cancels; none without a selection. The
    // settings' texts are added when it is laid out.
    std::optional<tlx::billing::Bill> SelectedBill();
    void AddPrintTexts(tlx::billing::Bill& bill);

    // What became of each print (print_outcomes.cpp beside this file): stored as the job is
    // handed over, followed off this thread, settled when its word comes; a failure or error
    // told in the operator's words and marked in the list.
    void RecordPrint(const tlx::billing::PrintOutcome& outcome);
    void SettleFollowedPrints();
    // Under the grids: the selected bill's last print.
    void ShowOutcomeOfCurrentBill();
    // Once, after the login: the bills of the last day whose last print failed.
    void PointOutBillsToPrintAgain();
    bool NeedsPrintAgain(std::int64_t bill_id);

    BillsDatabase& database_;
    SettingsStore& settings_;
    const std::string& operator_name_;
    GdiPrinter gdi_printer_;
    std::unique_ptr<tlx::billing::ReportPrinter> printer_;  // when handed in
    PreviewWindow preview_;
    StoredRows bills_rows_, calls_rows_;
    DataGrid bills_grid_, calls_grid_;
    bool bills_loaded_ = false;
    bool com_ready_ = false;
    PrintFollower follower_;
    bool print_again_pointed_out_ = false;
};

}  // namespace tlx::console
