#include "core/billing/store.h"

#include <sqlite3.h>

#include <memory>
#include <utility>

#include "core/billing/columns.h"
#include "core/text/numbers.h"

namespace tlx::billing {
namespace {

struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// As "%.2f" writes it, read back: the two-decimal value the store keeps.
double Rounded(double value) {
    return text::AtofC(text::FormatFixed(value, 2));
}

}  // namespace

std::string ErrorList(const std::vector<StoreError>& errors) {
    std::string out;
    for (const auto& e : errors) {
        out += "Error number: " + std::to_string(e.number) + "\t" + e.description + "\n";
    }
    return out;
}

std::string_view StoreSchema() {
    static const std::string schema = SchemaOf(1);
    return schema;
}

std::vector<std::string> CheckStore(sqlite3* db) {
    std::vector<std::string> problems;
    sqlite3_stmt* check = nullptr;
    if (sqlite3_prepare_v2(db, "pragma integrity_check", -1, &check, nullptr) != SQLITE_OK) {
        problems.push_back(sqlite3_errmsg(db));
    }
    while (check && sqlite3_step(check) == SQLITE_ROW) {
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        if (line && std::string_view(line) != "ok") problems.emplace_back(line);
    }
    sqlite3_finalize(check);
    if (!problems.empty()) return problems;
    // A later edition's tables once the store records that edition, or once one of them is
    // there: an upgrade that left a table half made shows too.
    const int edition = StoreEdition(db);
    for (const StoreTable& table : kStoreTables) {
        if (table.edition > edition) {
            const std::string sql = "select 1 from sqlite_schema where type='table' and name='" +
                                    std::string(table.name) + "'";
            sqlite3_stmt* raw = nullptr;
            const bool there =
                sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) == SQLITE_OK &&
                sqlite3_step(raw) == SQLITE_ROW;
            sqlite3_finalize(raw);
            if (!there) continue;
        }
        for (const Column& column : table.columns) {
            const std::string sql = "select " + std::string(column.name) + " from " +
                                    std::string(table.name) + " limit 0";
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
                problems.push_back(sqlite3_errmsg(db));
            }
            sqlite3_finalize(raw);
        }
    }
    return problems;
}

BillsStore::BillsStore(TextCodec codec)
    : codec_(std::move(codec)),
      bills_(std::string(kBillsTable.name), std::string(kBillsTable.key()),
             ColumnNames(kBillsTable)),
      calls_(std::string(kCallsTable.name), std::string(kCallsTable.key()),
             ColumnNames(kCallsTable), std::string(kCallsTable[kCallBill])) {}

bool BillsStore::FailedRead(TableRecordset& recordset) {
    errors_.push_back({recordset.last_error(), sqlite3_errmsg(db_)});
    return false;
}

bool BillsStore::OpenBills() {
    errors_.clear();
    return db_ && (bills_.Open(db_, &codec_) || FailedRead(bills_));
}

bool BillsStore::OpenCalls(std::uint32_t bill_id) {
    errors_.clear();
    return db_ && (calls_.Open(db_, &codec_, bill_id) || FailedRead(calls_));
}

BillsStore::~BillsStore() {
    Close();
}

std::string BillsStore::ToStore(std::string_view text) const {
    return codec_.to_store ? codec_.to_store(text) : std::string(text);
}

std::string BillsStore::FromStore(std::string_view text) const {
    return codec_.from_store ? codec_.from_store(text) : std::string(text);
}

bool BillsStore::Fail(int code) {
    errors_.push_back({code, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code)});
    return false;
}

bool BillsStore::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || Fail(sqlite3_extended_errcode(db_));
}

bool BillsStore::Open(const std::string& path) {
    Close();
    errors_.clear();
    // Read-write only: without SQLITE_OPEN_CREATE a missing file stays missing.
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        Fail(rc);
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    // A foreign or damaged file shows itself at the first read; a store without the bills
    // tables is not one. A later edition's tables are the seals' business (ledger.h).
    for (const StoreTable& table : kStoreTables) {
        if (table.edition > 1) continue;
        const std::string sql =
            "select " + ColumnList(table) + " from " + std::string(table.name) + " limit 0";
        sqlite3_stmt* raw = nullptr;
        const int prc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
        sqlite3_finalize(raw);
        if (prc != SQLITE_OK) {
            Fail(sqlite3_extended_errcode(db_));
            Close();
            return false;
        }
    }
    // Each committed bill is on the disk before the console goes on.
    return Exec("pragma synchronous=FULL") || (Close(), false);
}

void BillsStore::Close() {
    bills_.Close();
    calls_.Close();
    if (db_) sqlite3_close_v2(std::exchange(db_, nullptr));
}

void BillsStore::StoreBill(Bill& bill, const Reporter& report) {
    errors_.clear();
    auto reported = [&] {
        if (report) report(ErrorList(errors_));
        errors_.clear();
    };
    if (!db_) return;  // no store: nothing to write and nothing to say
    if (!Exec("begin immediate")) {
        reported();
        return;
    }
    auto prepare = [&](const char* sql) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) != SQLITE_OK) {
            Fail(sqlite3_extended_errcode(db_));
        }
        return Statement(raw);
    };
    auto run = [&](sqlite3_stmt* s) {
        const int rc = sqlite3_step(s);
        return rc == SQLITE_DONE || rc == SQLITE_ROW || Fail(sqlite3_extended_errcode(db_));
    };
    auto bind_text = [&](sqlite3_stmt* s, int at, std::string_view text) {
        const std::string stored = ToStore(text);
        sqlite3_bind_text(s, at, stored.data(), static_cast<int>(stored.size()), SQLITE_TRANSIENT);
    };

    // The bill's row, then its id as the largest one: the console is the only writer.
    // Placeholder n of an insert is column n of its table.
    static const std::string insert_bill = InsertStatement(kBillsTable),
                             newest_bill = NewestKeyStatement(kBillsTable),
                             insert_call = InsertStatement(kCallsTable);
    bool ok = false;
    if (auto s = prepare(insert_bill.c_str())) {
        bind_text(s.get(), kBillIssued, bill.issued ? FormatStored(*bill.issued) : std::string());
        bind_text(s.get(), kBillOperator, bill.operator_name);
        bind_text(s.get(), kBillCabin, bill.cabin);
        sqlite3_bind_double(s.get(), kBillTotalCost, Rounded(bill.total_cost));
        sqlite3_bind_double(s.get(), kBillTotalTax, Rounded(bill.total_tax));
        sqlite3_bind_double(s.get(), kBillTotalWithTax, Rounded(bill.total_cost_with_tax));
        ok = run(s.get());
    }
    if (ok) {
        if (auto s = prepare(newest_bill.c_str()); s && run(s.get())) {
            bill.id = sqlite3_column_type(s.get(), 0) == SQLITE_NULL
                          ? 0
                          : static_cast<std::int32_t>(sqlite3_column_int64(s.get(), 0));
        }
    }
    if (!errors_.empty()) reported();

    for (const BillCall& call : bill.calls) {
        if (sqlite3_get_autocommit(db_)) break;  // the failure above ended the transaction
        if (auto s = prepare(insert_call.c_str())) {
            sqlite3_bind_int64(s.get(), kCallBill, static_cast<std::uint32_t>(bill.id));
            bind_text(s.get(), kCallDestination, call.destination);
            bind_text(s.get(), kCallEnd, call.end_time);
            bind_text(s.get(), kCallDuration, call.duration);
            sqlite3_bind_double(s.get(), kCallRate, Rounded(call.rate));
            sqlite3_bind_double(s.get(), kCallTax, Rounded(call.tax));
            sqlite3_bind_double(s.get(), kCallCost, Rounded(call.cost));
            sqlite3_bind_double(s.get(), kCallWithTax, Rounded(call.cost_with_tax));
            run(s.get());
        }
        if (!errors_.empty()) reported();
    }
    // The seal and the rate summary, in the bill's own transaction; without them nothing is
    // stored.
    if (!sqlite3_get_autocommit(db_) && bill.id != 0 && !SealStoredBill(bill.id)) {
        reported();
        sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
    }
    if (sqlite3_get_autocommit(db_) || !Exec("commit")) {
        // Nothing of the bill reached the store.
        if (!errors_.empty()) reported();
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
        bill.id = 0;
    }
}

}  // namespace tlx::billing
