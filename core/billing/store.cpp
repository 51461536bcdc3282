#include "core/billing/store.h"

#include <sqlite3.h>

#include <array>
#include <memory>
#include <utility>

#include "core/text/numbers.h"

namespace tlx::billing {
namespace {

constexpr char kSchema[] =
#include "schema.sql.inc"
    ;

struct Table {
    const char* name;
    std::vector<const char*> columns;
    std::vector<std::string> Columns() const { return {columns.begin(), columns.end()}; }
};
const std::array<Table, 2> kTables = {{
    {"bills",
     {"id_bill", "issued_date", "operator", "cabin_number", "total_cost", "total_taxes",
      "total_cost_taxes"}},
    {"calls",
     {"id_call", "id_bill", "destination", "end_date", "duration", "rate", "call_taxes",
      "call_cost", "call_cost_taxes"}},
}};

constexpr char kInsertBill[] =
    "insert into bills(issued_date,operator, cabin_number,total_cost,total_taxes,"
    "total_cost_taxes) values(?,?,?,?,?,?)";
constexpr char kNewestBill[] = "select max(id_bill) as id from bills";
constexpr char kInsertCall[] =
    "insert into calls(id_bill,destination,end_date,duration,rate,call_taxes,call_cost,"
    "call_cost_taxes) values(?,?,?,?,?,?,?,?)";

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
    return kSchema;
}

std::vector<std::string> CheckStore(sqlite3* db) {
    std::vector<std::string> problems;
    for (const Table& table : kTables) {
        for (const char* column : table.columns) {
            const std::string sql =
                std::string("select ") + column + " from " + table.name + " limit 0";
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
      bills_("bills", "id_bill", kTables[0].Columns()),
      calls_("calls", "id_call", kTables[1].Columns(), "id_bill") {}

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
    // tables is not one.
    for (const Table& table : kTables) {
        std::string sql = "select ";
        for (const char* column : table.columns) sql += std::string(column) + ",";
        sql.back() = ' ';
        sql += std::string("from ") + table.name + " limit 0";
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
    bool ok = false;
    if (auto s = prepare(kInsertBill)) {
        bind_text(s.get(), 1, bill.issued ? FormatStored(*bill.issued) : std::string());
        bind_text(s.get(), 2, bill.operator_name);
        bind_text(s.get(), 3, bill.cabin);
        sqlite3_bind_double(s.get(), 4, Rounded(bill.total_cost));
        sqlite3_bind_double(s.get(), 5, Rounded(bill.total_tax));
        sqlite3_bind_double(s.get(), 6, Rounded(bill.total_cost_with_tax));
        ok = run(s.get());
    }
    if (ok) {
        if (auto s = prepare(kNewestBill); s && run(s.get())) {
            bill.id = sqlite3_column_type(s.get(), 0) == SQLITE_NULL
                          ? 0
                          : static_cast<std::int32_t>(sqlite3_column_int64(s.get(), 0));
        }
    }
    if (!errors_.empty()) reported();

    for (const BillCall& call : bill.calls) {
        if (sqlite3_get_autocommit(db_)) break;  // the failure above ended the transaction
        if (auto s = prepare(kInsertCall)) {
            sqlite3_bind_int64(s.get(), 1, static_cast<std::uint32_t>(bill.id));
            bind_text(s.get(), 2, call.destination);
            bind_text(s.get(), 3, call.end_time);
            bind_text(s.get(), 4, call.duration);
            sqlite3_bind_double(s.get(), 5, Rounded(call.rate));
            sqlite3_bind_double(s.get(), 6, Rounded(call.tax));
            sqlite3_bind_double(s.get(), 7, Rounded(call.cost));
            sqlite3_bind_double(s.get(), 8, Rounded(call.cost_with_tax));
            run(s.get());
        }
        if (!errors_.empty()) reported();
    }
    // The second edition's seal, in the bill's own transaction; without it nothing is stored.
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
