// The process-wide holder of the bills store. It exists before the application object and is
// opened by the bills page; failures reach the operator in the "Database error" box.
#pragma once

#include <string>

#include "console/bills/store_backups.h"
#include "core/billing/store.h"

namespace tlx::console {

// Shows the error list in the "Database error" box; an empty list shows nothing.
void ReportDatabaseError(const std::string& error_list);

class BillsDatabase {
  public:
    BillsDatabase();

    // Opens "bills.mdb" in the current folder; never creates it. A damaged store (quick_check,
    // the chain) is first offered the newest good backup: restored in its place (the damaged
    // file kept aside), or the store left closed when the operator goes on without storing. A
    // store of the first edition is upgraded, and the chain of seals is checked
    // (startup_check()).
    bool OpenDatabase();
    const tlx::billing::StartupCheck& startup_check() const { return startup_; }
    // What the operator is told once after opening: the start-up check's message, else a damaged
    // store that had no backup to offer. Empty when all is well.
    std::string startup_message() const;
    // The operator chose to go on without storing: nothing more to say about the store.
    bool left_closed() const { return left_closed_; }
    // Bills can be voided: the store is of the second edition.
    bool second_edition() const;
    void CloseDatabase() { store_.Close(); }
    bool is_open() const { return store_.is_open(); }
    // Stores the bill and its calls and sets its id; failures are reported as they happen.
    void StoreBill(tlx::billing::Bill& bill);
    tlx::billing::BillsStore& store() { return store_; }

    // Window thread, once the settings are read: a backup at start when the store opened sound
    // and none was made today. `folder` (ANSI) as the settings name it; empty for the default.
    void StartBackups(const std::string& folder);
    // After a day close: a backup off the window thread; a failure is told once per start.
    void BackUpAfterDayClose() { backups_.BackUpAfterDayClose(); }
    // Before the windows go: waits for a backup under way.
    void StopBackups() { backups_.Stop(); }

  private:
    // False when the store is damaged and the operator goes on without storing.
    bool OfferBackupIfDamaged(const std::string& path);

    tlx::billing::BillsStore store_;
    tlx::billing::StartupCheck startup_;
    tlx::billing::HealthCheck health_;
    std::string no_backup_note_;  // a damaged store without a good copy (UTF-8)
    bool left_closed_ = false;
    StoreBackups backups_;
};

}  // namespace tlx::console
