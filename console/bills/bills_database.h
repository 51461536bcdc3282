// The process-wide holder of the bills store. It exists before the application object and is
// opened by the bills page; failures reach the operator in the "Database error" box.
#pragma once

#include <string>

#include "core/billing/store.h"

namespace tlx::console {

// Shows the error list in the "Database error" box; an empty list shows nothing.
void ReportDatabaseError(const std::string& error_list);

class BillsDatabase {
  public:
    BillsDatabase();

    // Opens "bills.mdb" in the current folder; never creates it.
    bool OpenDatabase();
    void CloseDatabase() { store_.Close(); }
    bool is_open() const { return store_.is_open(); }
    // Stores the bill and its calls and sets its id; failures are reported as they happen.
    void StoreBill(tlx::billing::Bill& bill);
    tlx::billing::BillsStore& store() { return store_; }

  private:
    tlx::billing::BillsStore store_;
};

}  // namespace tlx::console
