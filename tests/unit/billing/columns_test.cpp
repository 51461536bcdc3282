// The column tables give the statements and the schema the store has always had, byte for byte:
// other programs read these tables, and a first-edition store must keep working.
#include "core/billing/columns.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>

#include "core/billing/store.h"

namespace tlx::billing {
namespace {

TEST(Columns, StatementsAsTheyWere) {
    EXPECT_EQ(InsertStatement(kBillsTable),
              "insert into bills(issued_date,operator, cabin_number,total_cost,total_taxes,"
              "total_cost_taxes) values(?,?,?,?,?,?)");
    EXPECT_EQ(InsertStatement(kCallsTable),
              "insert into calls(id_bill,destination,end_date,duration,rate,call_taxes,call_cost,"
              "call_cost_taxes) values(?,?,?,?,?,?,?,?)");
    EXPECT_EQ(NewestKeyStatement(kBillsTable), "select max(id_bill) as id from bills");
}

TEST(Columns, SchemaAsItWas) {
    namespace fs = std::filesystem;
    const std::string path =
        (fs::temp_directory_path() / ("tlx-schema-" + std::to_string(std::random_device{}())))
            .string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string stored;
    sqlite3_exec(
        db,
        "select name||': '||sql||';' from sqlite_master union all select * from "
        "pragma_journal_mode",
        [](void* out, int, char** v, char**) {
            *static_cast<std::string*>(out) += std::string(v[0]) + "\n";
            return 0;
        },
        &stored, nullptr);
    sqlite3_close(db);
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(path + end);
    EXPECT_EQ(stored,
              "bills: CREATE TABLE bills (\n"
              "    id_bill INTEGER PRIMARY KEY AUTOINCREMENT,\n"
              "    issued_date TEXT,\n"
              "    operator TEXT,\n"
              "    cabin_number TEXT,\n"
              "    total_cost REAL,\n"
              "    total_taxes REAL,\n"
              "    total_cost_taxes REAL\n"
              ");\n"
              "sqlite_sequence: CREATE TABLE sqlite_sequence(name,seq);\n"
              "calls: CREATE TABLE calls (\n"
              "    id_call INTEGER PRIMARY KEY AUTOINCREMENT,\n"
              "    id_bill INTEGER,\n"
              "    destination TEXT,\n"
              "    end_date TEXT,\n"
              "    duration TEXT,\n"
              "    rate REAL,\n"
              "    call_taxes REAL,\n"
              "    call_cost REAL,\n"
              "    call_cost_taxes REAL\n"
              ");\n"
              "calls_of_bill: CREATE INDEX calls_of_bill ON calls(id_bill);\n"
              "wal\n");
}

}  // namespace
}  // namespace tlx::billing
