// Backups of the bills store: checked copies made while the console bills, their rotation,
// the check of a store or a copy, and the restore of a copy in place of a damaged store.
// Nothing here throws; every outcome carries a message in plain words for the operator. Each
// call opens connections of its own, so any of them may run on a worker thread.
//
// A backup is named "bills-YYYY-MM-DD-HHMMSS.mdb" (local time) and is a whole store in one file
// (rollback journal, no -wal beside it): it can be copied by hand and opened by any program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/bill.h"
#include "core/billing/ledger.h"

namespace tlx::billing {

// The folder a shop gets unless the settings name another: "Backups" beside the store.
inline constexpr std::string_view kBackupFolder = "Backups";
std::string DefaultBackupFolder(const std::string& store_path);
// DefaultBackupFolder, made when missing (only that one folder, beside an existing store's
// folder). Empty when it cannot be made.
std::string MakeDefaultBackupFolder(const std::string& store_path);

// "bills-YYYY-MM-DD-HHMMSS.mdb", and the time read back from exactly that form (nullopt for any
// other name: rotation and restore never touch a file they did not name).
std::string BackupName(const LocalTime& time);
std::optional<LocalTime> BackupTime(std::string_view file_name);

// The state of a store or of a copy.
struct HealthCheck {
    bool found = false;  // the file exists and SQLite reads it as a database
    bool sound = false;
    int edition = 0;
    ChainCheck chain;  // the seals, in a store of the second edition
    std::string what;  // what is wrong, in plain words (empty when sound)
};
// The start-up check: PRAGMA quick_check, then the seals' chain when the store has them.
HealthCheck CheckStoreHealth(const std::string& path);
// What a copy must pass before it is used: the full integrity check, the store's tables and
// columns (CheckStore), and the chain when the copy has seals.
HealthCheck CheckBackupFile(const std::string& path);
// The newest backup in the folder that passes CheckBackupFile (its path), if any.
std::optional<std::string> NewestGoodBackup(const std::string& folder);

struct BackupOutcome {
    enum class Kind { kMade, kNotDue, kFailed };
    Kind kind = Kind::kFailed;
    std::string path;          // the checked copy (kMade)
    std::uintmax_t bytes = 0;  // its size
    std::int64_t bills = 0;    // bills in it
    std::string message;       // why not, for the operator (kFailed)
    bool ok() const { return kind == Kind::kMade; }
};
// Removes what an interrupted backup left in the folder ("bills-…mdb.partial" and its journal);
// the number of files removed.
int RemoveLeftovers(const std::string& folder);
// An online copy of the store, consistent even while the console writes bills: SQLite's backup
// from a connection of its own, written as "<name>.partial" in the folder, checked
// (quick_check, the chain), flushed, then renamed to BackupName(now). A copy that fails never
// replaces nor removes another file. Leftovers of an earlier attempt are removed first.
BackupOutcome MakeBackup(const std::string& store_path, const std::string& folder,
                         const LocalTime& now);
// The same into a file named by the operator; an existing file is never replaced.
BackupOutcome MakeBackupAs(const std::string& store_path, const std::string& file);
// True when the folder holds no backup of now's date: backups at start-up are made at most once
// a day.
bool BackupDue(const std::string& folder, const LocalTime& now);

// Rotation. A copy is kept when it is the newest of its day among the 7 most recent days that
// have copies, the newest of its week (ISO weeks, Monday to Sunday) among the 4 most recent
// weeks that have copies, or the newest of its month among the 12 most recent months that have
// copies; the newest copy is always kept, and so is any copy dated after `now` (a clock put
// back must not cost a copy). Counting days that have copies, not calendar days, keeps a shop
// closed for a month from losing its last copies.
struct Retention {
    int daily = 7, weekly = 4, monthly = 12;
};
// The names among `names` that rotation removes; names not of BackupName's form are ignored.
std::vector<std::string> BackupsToRemove(const std::vector<std::string>& names,
                                         const LocalTime& now, const Retention& keep = {});
struct RotationOutcome {
    std::vector<std::string> removed;  // file names
    std::string message;               // a copy that could not be removed (empty otherwise)
};
RotationOutcome RotateBackups(const std::string& folder, const LocalTime& now,
                              const Retention& keep = {});
// What the console runs off its window thread at start-up (`when_due`: at most once a day) and
// after a day close: the backup when due, then the rotation once a copy is made.
BackupOutcome BackUpAndRotate(const std::string& store_path, const std::string& folder,
                              const LocalTime& now, bool when_due);

struct RestoreOutcome {
    bool ok = false;
    std::string replaced_path;  // where the replaced store was put ("" when there was none)
    std::string message;        // why not, for the operator (empty when restored)
};
// Puts a checked backup in place of the store. The backup must pass CheckBackupFile; the store
// (with its -wal and -shm) is kept aside as "<store>.replaced-YYYY-MM-DD-HHMMSS" (".2", … when
// taken), never removed; the backup reaches the store's name through a copy beside it and a
// rename, so a failure midway leaves the store as it was.
RestoreOutcome RestoreBackup(const std::string& backup_path, const std::string& store_path,
                             const LocalTime& now);

}  // namespace tlx::billing
