// The bills store: bills and their calls in the SQLite file bills.mdb. The console is its only
// writer. It opens an existing store read-write and never creates one; a missing, foreign or
// damaged file leaves the store closed, and the console runs on without storing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/bill.h"
#include "core/billing/ledger.h"
#include "core/billing/print_outcome.h"
#include "core/billing/recordset.h"

struct sqlite3;

namespace tlx::billing {

inline constexpr std::string_view kStoreFile = "bills.mdb";
// How long a write waits for another program that holds the file.
inline constexpr int kBusyWaitMs = 2000;

struct StoreError {
    int number = 0;  // SQLite's extended result code
    std::string description;
};

// "Error number: <n>\t<description>\n" per error, in order.
std::string ErrorList(const std::vector<StoreError>& errors);

// Texts cross into the store as UTF-8; the console keeps them in its ANSI code page.
struct TextCodec {
    std::function<std::string(std::string_view)> to_store;    // console -> UTF-8
    std::function<std::string(std::string_view)> from_store;  // UTF-8 -> console
};

class BillsStore {
  public:
    explicit BillsStore(TextCodec codec = {});
    ~BillsStore();
    BillsStore(const BillsStore&) = delete;
    BillsStore& operator=(const BillsStore&) = delete;

    // Opens an existing store; false, with errors() telling why, when the file is missing,
    // unreadable or not a bills store (its tables and columns are checked).
    bool Open(const std::string& path);
    void Close();
    bool is_open() const { return db_ != nullptr; }

    // Called with the error list wherever storing reports a failure.
    using Reporter = std::function<void(const std::string& error_list)>;
    // Writes the bill, then its calls, in one durable transaction, and sets bill.id to the
    // store's largest id after the insert (0 when the bill's row was not written). A failing
    // statement is reported and the others are still tried; when the store cannot be written
    // at all (locked, read-only) that is reported once and nothing is written.
    void StoreBill(Bill& bill, const Reporter& report);

    // The two lists of the bills page: every bill, and the calls of one bill. False, with
    // errors() telling why, when the store cannot be read; without a store, false and no error.
    bool OpenBills();
    bool OpenCalls(std::uint32_t bill_id);
    TableRecordset& bills() { return bills_; }
    TableRecordset& calls() { return calls_; }

    const std::vector<StoreError>& errors() const { return errors_; }
    std::string ToStore(std::string_view text) const;
    std::string FromStore(std::string_view text) const;

  private:
    bool Fail(int code);
    bool Exec(const char* sql);

    bool FailedRead(TableRecordset& recordset);

    TextCodec codec_;
    sqlite3* db_ = nullptr;
    std::vector<StoreError> errors_;
    TableRecordset bills_, calls_;

    // --- The second edition (ledger.h; bodies in store_ledger.cpp) ---
  public:
    // Stores a void of bill `original_id`: a new bill with the original's booth, every
    // amount and every call's amounts negated, issued `now` by `operator_name`, linked to the
    // original with the reason (console texts; required, at most kMaxVoidReason characters),
    // and sealed, in one transaction. A void of a void, a second void and a void in a
    // first-edition store are refused; the refusal says why.
    VoidOutcome VoidBill(std::int64_t original_id, std::string_view operator_name,
                         std::string_view reason, const LocalTime& now);
    // Voided, a void, or neither; texts in the console's code page.
    BillState StateOf(std::int64_t id) const;
    // The chain recomputed (without a store: not intact, nothing said).
    ChainCheck VerifyChain() const;

  private:
    // Seals bill `id` inside StoreBill's transaction; false (with errors()) when it cannot.
    bool SealStoredBill(std::int64_t id);

    // --- Print outcomes, the third edition (bodies in store_outcomes.cpp) ---
  public:
    // Stores one print's outcome (texts in the console's code page): its id_outcome; 0 when it
    // was not stored, with errors() telling why (none without a store or before the upgrade).
    std::int64_t StoreOutcome(const PrintOutcome& outcome);
    // The final word on a stored print, once its job has been followed; false with errors().
    bool SettleOutcome(std::int64_t outcome_id, PrintResult result, std::string_view reason);
    // The newest outcome of bill `id`; nullopt when it has none (or it cannot be read).
    std::optional<PrintOutcome> LastOutcome(std::int64_t bill_id) const;
    // The bills whose last print failed or ended in error, in id order; with `since` (as
    // printed_at is stored) only those whose last print was at or after it.
    std::vector<std::int64_t> BillsToPrintAgain(std::string_view since = {}) const;
};

// The schema of an empty store, from the column tables (core/billing/columns.h).
std::string_view StoreSchema();
// Problems with a file's structure: missing tables or columns, failed integrity check. Empty
// when it is a sound bills store.
std::vector<std::string> CheckStore(sqlite3* db);

}  // namespace tlx::billing
