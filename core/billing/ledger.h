// The bills store's second edition, beside the first edition's tables: every bill sealed into
// a chain (SHA-256 over the previous seal and the bill's stored rows), voids as new bills with
// negated amounts linked to the bill they cancel, and the upgrade of a first-edition store.
// The canonical form a seal covers is documented in README.md ("The second edition").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/billing/bill.h"
#include "core/billing/sha256.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tlx::billing {

// 2 brought seals and voids, 3 the print outcomes and the day closes, 4 the bills' rate
// summary.
inline constexpr int kCurrentEdition = 4;
inline constexpr std::size_t kMaxVoidReason = 200;  // characters
// A sealed bill dated more than this before the bill sealed ahead of it was not written in
// order; less is a clock put back by an hour for winter time.
inline constexpr int kClockSlackSeconds = 3600;

// One result row in the seals' canonical form (README.md): `tag`, then columns [first, count)
// of the statement's current row, each as stored.
void AppendCanonicalRow(std::string& out, char tag, sqlite3_stmt* s, int first = 0);

// The later editions' tables (run after StoreSchema() on a new store).
std::string_view LedgerSchema();
// 1 for a first-edition store (no edition recorded), else the recorded version.
int StoreEdition(sqlite3* db);

// The seal of bill `id` over `previous`, from the rows as the store holds them now.
// Nullopt when the bill's row cannot be read.
std::optional<Digest> SealOf(sqlite3* db, std::int64_t id, const Digest& previous);
// Seals bill `id` (the newest) inside the writer's open transaction, after the newest seal,
// and writes its rate summary (bill_rates.h) when the store has the table.
// SQLITE_OK, and nothing written, on a first-edition store; else SQLite's extended result code
// with the store's message in `error`.
int SealNewestBill(sqlite3* db, std::int64_t id, std::string* error = nullptr);

// The chain recomputed from the first bill to the last.
struct ChainCheck {
    bool intact = false;
    std::int64_t bills = 0;         // bills looked at
    std::int64_t first_bad_id = 0;  // the first bill changed, removed or out of order
    std::string what;               // what is wrong with it (empty when intact)
    // "N bills, chain intact", or "bill N: <what>".
    std::string Text() const;
};
ChainCheck VerifyChain(sqlite3* db);
// A connection of its own for VerifyChain (read-only, for one thread); SQLite's result code.
int OpenForCheck(const std::string& path, sqlite3** db);

// Upgrading a first-edition store in place, after a copy of it.
struct UpgradeOutcome {
    // kNoStore: the file is missing, unreadable or not a bills store.
    enum class Kind { kCurrent, kUpgraded, kFailed, kNoStore };
    Kind kind = Kind::kFailed;
    std::string copy_path;    // the copy made before the upgrade
    std::int64_t sealed = 0;  // bills sealed by the upgrade
    std::string message;      // for the operator: why it failed (empty otherwise)
};
// Opens the file read-write (never creates it), copies it beside itself as
// "<file>.before-upgrade" (then ".before-upgrade.2", ... : a copy is never overwritten), then
// in one transaction makes the new tables and seals every bill in id order. A store that is
// already current is left alone; a store that cannot be upgraded (write-protected, locked,
// full) is left exactly as it was.
UpgradeOutcome UpgradeStore(const std::string& path, int busy_wait_ms = 2000);

// What the Bills page writes under its grids for a bill.
struct BillState {
    enum class Kind { kNormal, kVoided, kVoid };
    Kind kind = Kind::kNormal;
    std::int64_t other_id = 0;                     // the void (kVoided) or the original (kVoid)
    std::string operator_name, voided_at, reason;  // as stored (UTF-8; voided_at as issued_date)
};
BillState StateOf(sqlite3* db, std::int64_t id);

// What a void asks for, and what it gives.
struct VoidOutcome {
    std::int64_t void_id = 0;  // 0 when refused or failed
    std::string refusal;       // why not, for the operator (empty when stored)
};

// The start-up check: upgrade when needed, then the chain. `message` is what the operator is
// told once (empty when all is well).
struct StartupCheck {
    UpgradeOutcome upgrade;
    ChainCheck chain;
    std::string message;
};
// `checked`: the chain as a check of the file just before found it, taken as it is unless the
// upgrade sealed the store just now, so a big store's chain is walked once per start.
StartupCheck CheckStoreAtStartup(const std::string& path, const ChainCheck* checked = nullptr);

}  // namespace tlx::billing
