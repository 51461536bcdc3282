// The bills page: the home of billing. A booth's print request becomes a bill here (composed,
// stored, printed); the page lists the printed bills and prints one again.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "billing/bill.h"
#include "billing/report_printer.h"
#include "bills/bills_database.h"
#include "settings_store.h"
#include "win32/dialog.h"

namespace tellarix {

class CBillsDlg : public tlx::win32::Dialog {
  public:
    // Initialises COM on this thread and opens the store; without one the operator is told
    // and the console runs on without storing. `operator_name` is the logged-in operator's.
    CBillsDlg(BillsDatabase& database, SettingsStore& settings, const std::string& operator_name);
    ~CBillsDlg() override;

    // A booth's print text: compose, store, print. One at a time, on the window's thread.
    void NewBill(std::string_view print_text);
    void PrintBill(tlx::billing::Bill bill);
    // The bills list, read again.
    void RefreshBills();

  protected:
    bool OnInitDialog() override;

  private:
    BillsDatabase& database_;
    SettingsStore& settings_;
    const std::string& operator_name_;
    std::unique_ptr<tlx::billing::ReportPrinter> printer_;
    bool com_ready_ = false;
};

}  // namespace tellarix
