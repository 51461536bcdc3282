// The bills store's second edition as the console uses it: the seal of each stored bill, voids,
// a bill's state and the chain check.
#include <sqlite3.h>

#include <memory>
#include <string>

#include "core/billing/columns.h"
#include "core/billing/sqlite_handles.h"
#include "core/billing/store.h"

namespace tlx::billing {
namespace {

using sqlite::Statement;

// Characters of a UTF-8 text (its bytes that do not continue a character).
std::size_t Characters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The void's rows: the original's booth and calls, every amount negated ("0.0 -" so a zero
// stays +0.00 when printed). A rate is a price, not an amount: the void repeats it, so its
// lines read as the original's.
std::string InsertVoid() {
    return StatementOn(kBillsTable,
                       "insert into {}({1},{2},{3},{4},{5},{6}) select ?,?,{3},0.0-{4},0.0-{5},"
                       "0.0-{6} from {} where {0}=?",
                       {kBillId, kBillIssued, kBillOperator, kBillCabin, kBillTotalCost,
                        kBillTotalTax, kBillTotalWithTax});
}
std::string InsertVoidCalls() {
    return StatementOn(kCallsTable,
                       "insert into {}({1},{2},{3},{4},{5},{6},{7},{8}) select ?,{2},{3},{4},{5},"
                       "0.0-{6},0.0-{7},0.0-{8} from {} where {1}=? order by {0}",
                       {kCallId, kCallBill, kCallDestination, kCallEnd, kCallDuration, kCallRate,
                        kCallTax, kCallCost, kCallWithTax});
}
std::string InsertLink() {
    return StatementOn(kVoidsTable,
                       "insert into {}(" + ColumnList(kVoidsTable) + ") values(?,?,?,?,?)");
}

}  // namespace

bool BillsStore::SealStoredBill(std::int64_t id) {
    std::string why;
    const int rc = SealNewestBill(db_, id, &why);
    if (rc != SQLITE_OK) errors_.push_back({rc, why});
    return rc == SQLITE_OK;
}

BillState BillsStore::StateOf(std::int64_t id) const {
    BillState state = billing::StateOf(db_, id);
    state.operator_name = FromStore(state.operator_name);
    state.reason = FromStore(state.reason);
    return state;
}

ChainCheck BillsStore::VerifyChain() const {
    return db_ ? billing::VerifyChain(db_) : ChainCheck{};
}

VoidOutcome BillsStore::VoidBill(std::int64_t original_id, std::string_view operator_name,
                                 std::string_view reason, const LocalTime& now) {
    VoidOutcome out;
    errors_.clear();
    const std::string bill = "Bill " + std::to_string(original_id);
    const std::string stored_reason = ToStore(reason);
    if (!db_) {
        out.refusal = "There is no bills store: nothing can be voided.";
        return out;
    }
    if (Blank(reason)) {
        out.refusal = "A void needs a reason.";
        return out;
    }
    if (Characters(stored_reason) > kMaxVoidReason) {
        out.refusal =
            "The reason is too long: at most " + std::to_string(kMaxVoidReason) + " characters.";
        return out;
    }
    if (StoreEdition(db_) < kVoidsTable.edition) {
        out.refusal = "The bills store has not been upgraded: its bills cannot be voided.";
        return out;
    }
    auto failed = [&] {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
        out.void_id = 0;
        out.refusal = "The void could not be stored:\n" + ErrorList(errors_);
        return out;
    };
    auto refused = [&](std::string why) {
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
        out.refusal = std::move(why);
        return out;
    };
    // One writer at a time: what is checked below still holds when the void is written.
    if (!Exec("begin immediate")) return failed();

    auto prepare = [&](const std::string& sql) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            Fail(sqlite3_extended_errcode(db_));
        }
        return Statement(raw);
    };
    {
        Statement exists =
            prepare(StatementOn(kBillsTable, "select 1 from {} where {0}=?", {kBillId}));
        if (!exists) return failed();
        sqlite3_bind_int64(exists.get(), 1, original_id);
        const int rc = sqlite3_step(exists.get());
        if (rc == SQLITE_DONE) return refused(bill + " is not in the store.");
        if (rc != SQLITE_ROW) return (Fail(sqlite3_extended_errcode(db_)), failed());
    }
    const BillState state = billing::StateOf(db_, original_id);
    if (state.kind == BillState::Kind::kVoided) {
        return refused(bill + " is already voided, by bill " + std::to_string(state.other_id) +
                       ".");
    }
    if (state.kind == BillState::Kind::kVoid) {
        return refused(bill + " is the void of bill " + std::to_string(state.other_id) +
                       ": a void cannot be voided.");
    }

    const std::string issued = ToStore(FormatStored(now));
    const std::string by = ToStore(operator_name);
    auto run = [&](const Statement& s) {
        return s && (sqlite3_step(s.get()) == SQLITE_DONE || Fail(sqlite3_extended_errcode(db_)));
    };
    Statement insert = prepare(InsertVoid());
    if (!insert) return failed();
    sqlite3_bind_text(insert.get(), 1, issued.data(), static_cast<int>(issued.size()),
                      SQLITE_STATIC);
    sqlite3_bind_text(insert.get(), 2, by.data(), static_cast<int>(by.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert.get(), 3, original_id);
    if (!run(insert)) return failed();
    out.void_id = sqlite3_last_insert_rowid(db_);

    Statement calls = prepare(InsertVoidCalls());
    if (!calls) return failed();
    sqlite3_bind_int64(calls.get(), 1, out.void_id);
    sqlite3_bind_int64(calls.get(), 2, original_id);
    if (!run(calls)) return failed();

    Statement link = prepare(InsertLink());
    if (!link) return failed();
    sqlite3_bind_int64(link.get(), 1, original_id);
    sqlite3_bind_int64(link.get(), 2, out.void_id);
    sqlite3_bind_text(link.get(), 3, by.data(), static_cast<int>(by.size()), SQLITE_STATIC);
    sqlite3_bind_text(link.get(), 4, issued.data(), static_cast<int>(issued.size()), SQLITE_STATIC);
    sqlite3_bind_text(link.get(), 5, stored_reason.data(), static_cast<int>(stored_reason.size()),
                      SQLITE_STATIC);
    if (!run(link)) return failed();
    if (!SealStoredBill(out.void_id) || !Exec("commit")) return failed();
    return out;
}

}  // namespace tlx::billing
