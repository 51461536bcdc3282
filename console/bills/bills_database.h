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

    // Opens "bills.mdb" in the current folder; never creates it. A store of the first edition is
    // upgraded first, and the chain of seals is checked (startup_check()).
    bool OpenDatabase();
    const tlx::billing::StartupCheck& startup_check() const { return startup_; }
    // Bills can be voided: the store is of the second edition.
    bool second_edition() const;
    void CloseDatabase() { store_.Close(); }
    bool is_open() const { return store_.is_open(); }
    // Stores the bill and its calls and sets its id; failures are reported as they happen.
    void StoreBill(tlx::billing::Bill& bill);
    tlx::billing::BillsStore& store() { return store_; }

  private:
    tlx::billing::BillsStore store_;
    tlx::billing::StartupCheck startup_;
};

}  // namespace tlx::console
