// The column tables give the statements and the schema the store has always had, byte for byte:
// other programs read these tables, and a first-edition store must keep working.
#include "core/billing/columns.h"

#include <gtest/gtest.h>

#include <string>

#include "core/billing/ledger.h"
#include "tests/unit/billing/temp_store.h"

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
    // A name the table does not have is left for SQLite to refuse, never read past the table.
    EXPECT_EQ(StatementOn(kEditionTable, "select {0},{1},{x} from {}", {kEditionVersion, 7}),
              "select version,{1},{x} from store_edition");
}

using Schema = TempStore;

constexpr char kTables[] =
    "select name||': '||sql||';' from sqlite_master union all select * from pragma_journal_mode";

TEST_F(Schema, FirstEditionAsItWas) {
    EXPECT_EQ(Sql(kTables, true),
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

// The second edition's tables as the upgrade has always made them, with their edition's row.
TEST_F(Schema, SecondEditionAsItWas) {
    Sql(SchemaOf(2), true);
    EXPECT_EQ(Sql("select sql||';' from sqlite_master where name in ('bill_seals', "
                  "'bill_voids', 'store_edition') order by rowid; "
                  "select count(*), max(version) from store_edition"),
              "CREATE TABLE bill_seals (\n"
              "    id_bill INTEGER PRIMARY KEY,\n"
              "    previous_id INTEGER NOT NULL,\n"
              "    seal BLOB NOT NULL\n"
              ");\n"
              "CREATE TABLE bill_voids (\n"
              "    id_original INTEGER PRIMARY KEY,\n"
              "    id_void INTEGER NOT NULL UNIQUE,\n"
              "    operator TEXT,\n"
              "    voided_at TEXT,\n"
              "    reason TEXT\n"
              ");\n"
              "CREATE TABLE store_edition (\n"
              "    version INTEGER NOT NULL\n"
              ");\n"
              "1|2\n");
}

// billsdb check: a later edition's tables count once the store records that edition, or once
// one of them is there.
TEST_F(Schema, CheckCoversTheStoresEdition) {
    const std::string seals = "create table bill_seals(id_bill, previous_id, seal);",
                      voids = "create table bill_voids(id_original, id_void, operator, voided_at";
    struct Case {
        const char* what;
        std::string sql;      // after the first edition's schema
        const char* problem;  // the first CheckStore names; empty: none
    };
    const Case cases[] = {
        {"first edition", "", ""},
        {"second edition", std::string(LedgerSchema()), ""},
        {"a seal column missing",
         "create table bill_seals(id_bill, seal);" + voids +
             ", reason); create table store_edition(version); insert into store_edition "
             "values(2);",
         "no such column: previous_id"},
        {"the voids missing",
         seals + "create table store_edition(version); insert into "
                 "store_edition values(2);",
         "no such table: bill_voids"},
        {"half upgraded", voids + ");", "no such column: reason"},
        {"no version", seals + voids + ", reason); create table store_edition(edition);",
         "no such column: version"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        Sql(c.sql, true);
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        const auto problems = CheckStore(db);
        sqlite3_close(db);
        EXPECT_EQ(problems.empty() ? "" : problems.front(), c.problem) << c.what;
    }
}

}  // namespace
}  // namespace tlx::billing
