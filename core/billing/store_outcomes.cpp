// The store's print outcomes: one row per print of a bill, written when the job is handed to
// the spooler (or fails), settled when following the job ends.
#include <sqlite3.h>

#include "core/billing/columns.h"
#include "core/billing/sqlite_handles.h"
#include "core/billing/store.h"

namespace tlx::billing {
namespace {

using sqlite::Statement;

std::string Text(sqlite3_stmt* s, int column) {
    const auto* t = sqlite3_column_text(s, column);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

void Bind(sqlite3_stmt* s, int at, const std::string& text) {
    sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The newest outcome of each bill is the one with the largest id among the bill's.
constexpr std::string_view kIsLast = "{0}=(select max(p.{0}) from {} p where p.{1}={}.{1})";

}  // namespace

std::int64_t BillsStore::StoreOutcome(const PrintOutcome& outcome) {
    errors_.clear();
    // An old store was reported at start-up; its prints go unrecorded.
    if (!db_ || StoreEdition(db_) < kOutcomesTable.edition) return 0;
    static const std::string insert = InsertStatement(kOutcomesTable);
    Statement s = sqlite::Prepare(db_, insert);
    if (!s) return (Fail(sqlite3_extended_errcode(db_)), 0);
    sqlite3_bind_int64(s.get(), kOutcomeBill, outcome.bill_id);
    Bind(s.get(), kOutcomeTime, ToStore(outcome.printed_at));
    Bind(s.get(), kOutcomePrinter, ToStore(outcome.printer));
    sqlite3_bind_int64(s.get(), kOutcomeJob, outcome.job_id);
    Bind(s.get(), kOutcomeWord, std::string(OutcomeWord(outcome.result)));
    Bind(s.get(), kOutcomeReason, ToStore(outcome.reason));
    if (sqlite3_step(s.get()) != SQLITE_DONE) return (Fail(sqlite3_extended_errcode(db_)), 0);
    return sqlite3_last_insert_rowid(db_);
}

bool BillsStore::SettleOutcome(std::int64_t outcome_id, PrintResult result,
                               std::string_view reason) {
    errors_.clear();
    if (!db_) return false;
    static const std::string update =
        StatementOn(kOutcomesTable, "update {} set {1}=?1, {2}=?2 where {0}=?3",
                    {kOutcomeId, kOutcomeWord, kOutcomeReason});
    Statement s = sqlite::Prepare(db_, update);
    if (!s) return Fail(sqlite3_extended_errcode(db_));
    Bind(s.get(), 1, std::string(OutcomeWord(result)));
    Bind(s.get(), 2, ToStore(reason));
    sqlite3_bind_int64(s.get(), 3, outcome_id);
    if (sqlite3_step(s.get()) != SQLITE_DONE) return Fail(sqlite3_extended_errcode(db_));
    if (sqlite3_changes(db_) == 0) {
        errors_.push_back({SQLITE_NOTFOUND, "no print outcome " + std::to_string(outcome_id)});
        return false;
    }
    return true;
}

std::optional<PrintOutcome> BillsStore::LastOutcome(std::int64_t bill_id) const {
    if (!db_) return std::nullopt;
    static const std::string select = StatementOn(
        kOutcomesTable, "select {1},{2},{3},{4},{5} from {} where {0}=? order by {6} desc limit 1",
        {kOutcomeBill, kOutcomeTime, kOutcomePrinter, kOutcomeJob, kOutcomeWord, kOutcomeReason,
         kOutcomeId});
    Statement s = sqlite::Prepare(db_, select);
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s.get(), 1, bill_id);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    const auto result = ResultOfWord(Text(s.get(), 3));
    if (!result) return std::nullopt;  // not a word of ours
    PrintOutcome out;
    out.bill_id = bill_id;
    out.printed_at = FromStore(Text(s.get(), 0));
    out.printer = FromStore(Text(s.get(), 1));
    out.job_id = static_cast<std::uint32_t>(sqlite3_column_int64(s.get(), 2));
    out.result = *result;
    out.reason = FromStore(Text(s.get(), 4));
    return out;
}

std::vector<std::int64_t> BillsStore::BillsToPrintAgain(std::string_view since) const {
    std::vector<std::int64_t> bills;
    if (!db_) return bills;
    const std::string sql =
        StatementOn(kOutcomesTable,
                    "select {1} from {} where " + std::string(kIsLast) +
                        " and {2} in (?1, ?2) and (?3 is null or {3}>=?3)" + " order by {1}",
                    {kOutcomeId, kOutcomeBill, kOutcomeWord, kOutcomeTime});
    Statement s = sqlite::Prepare(db_, sql);
    if (!s) return bills;
    Bind(s.get(), 1, std::string(OutcomeWord(PrintResult::kFailed)));
    Bind(s.get(), 2, std::string(OutcomeWord(PrintResult::kError)));
    if (!since.empty()) Bind(s.get(), 3, ToStore(since));
    while (sqlite3_step(s.get()) == SQLITE_ROW) bills.push_back(sqlite3_column_int64(s.get(), 0));
    return bills;
}

}  // namespace tlx::billing
