// The bills store on real files: what a bill writes, what it never does to a file, that a bill
// is either whole in the store or not there at all, and the bills page's recordsets over it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/billing/store.h"

namespace tlx::billing {
namespace {

namespace fs = std::filesystem;

class Store : public ::testing::Test {
  protected:
    Store()
        : path_((fs::temp_directory_path() /
                 ("tlx-store-" + std::to_string(std::random_device{}()) + ".mdb"))
                    .string()) {
        fs::remove(path_);
    }
    ~Store() override {
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(path_ + end);
    }
    // Runs sql on the file (made with the schema when `create`); the first value of the last
    // row as text.
    std::string Sql(const std::string& sql, bool create = false) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        if (create) sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr);
        std::string out;
        sqlite3_exec(
            db, sql.c_str(),
            [](void* o, int, char** v, char**) {
                *static_cast<std::string*>(o) = v[0] ? v[0] : "";
                return 0;
            },
            &out, nullptr);
        sqlite3_close(db);
        return out;
    }
    static Bill Sample(int calls) {
        Bill b;
        b.operator_name = "O'Brien";
        b.cabin = "Joe's";
        b.issued = LocalTime{2026, 12, 7, 9, 5, 3};
        b.total_cost = 1.234;
        b.total_tax = 0.19999999999999996;
        b.total_cost_with_tax = 1.434;
        b.calls.assign(calls, BillCall{"0'1", "10:00:00", "60", 1, 1.2, 0.5, 0.2});
        return b;
    }

    std::string path_;
    std::vector<std::string> reports_;
    BillsStore::Reporter reporter_ = [this](const std::string& list) { reports_.push_back(list); };
};

TEST_F(Store, BillAndCallsAsTyped) {
    Sql("insert into sqlite_sequence values('bills', 70000)", true);  // ids past 16 bits
    BillsStore store;
    ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
    Bill b = Sample(2), empty = Sample(0);
    store.StoreBill(b, reporter_);
    store.StoreBill(empty, reporter_);
    EXPECT_EQ(b.id, 70001);
    EXPECT_EQ(empty.id, 70002);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(Sql("select issued_date||'|'||operator||'|'||cabin_number||'|'||total_cost||'|'||"
                  "total_taxes||'|'||total_cost_taxes from bills where id_bill=70001"),
              "2026-12-07 09:05:03|O'Brien|Joe's|1.23|0.2|1.43");
    EXPECT_EQ(Sql("select count(*)||'|'||min(destination)||'|'||sum(call_cost_taxes) from calls "
                  "where id_bill=70001"),
              "2|0'1|2.4");
    EXPECT_EQ(Sql("select count(*) from calls where id_bill=70002"), "0");
}

TEST_F(Store, RefusedBillRowStillStoresItsCallsUnderZero) {
    Sql("create trigger no_bills before insert on bills begin select raise(abort, 'refused'); end",
        true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    Bill b = Sample(2);
    store.StoreBill(b, reporter_);
    EXPECT_EQ(b.id, 0);
    EXPECT_EQ(reports_, std::vector<std::string>{"Error number: 1811\trefused\n"});
    EXPECT_EQ(Sql("select count(*) from calls where id_bill=0"), "2");
}

TEST_F(Store, FilesItCannotUseAreLeftAsTheyWere) {
    BillsStore store;
    EXPECT_FALSE(store.Open(path_));  // missing: not created
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(ErrorList(store.errors()), "Error number: 14\tunable to open database file\n");
    using namespace std::string_literals;
    for (const std::string& content : {"Standard Jet DB\0\0 an old Access file"s, "a;b\n"s, ""s}) {
        std::ofstream(path_, std::ios::binary) << content;
        EXPECT_FALSE(store.Open(path_));
        EXPECT_FALSE(store.errors().empty());
        std::ifstream in(path_, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    }
}

// Another program holds the file: the bill waits a little, is reported once and writes
// nothing (a read-only file fails the same first statement).
TEST_F(Store, LockedStoreReportsOnceAndWritesNothing) {
    Sql("", true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    sqlite3* other = nullptr;
    sqlite3_open(path_.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", 0, 0, 0), SQLITE_OK);
    Bill b = Sample(3);
    const auto start = std::chrono::steady_clock::now();
    store.StoreBill(b, reporter_);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBusyWaitMs));
    sqlite3_close(other);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("database is locked"), std::string::npos) << reports_[0];
    EXPECT_EQ(Sql("select count(*) from bills"), "0");
}

// Every row reachable in both orders whatever gaps the keys have, with a bounded cache;
// refreshing only adds.
TEST_F(Store, RecordsetFieldsRefreshAndCalls) {
    Sql("with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
        "insert into bills(id_bill, operator, total_cost) select i, 'op'||i, i/100.0 from n; "
        "insert into calls(id_bill, destination) values(7,'a'),(7,'b'),(8,'c');",
        true);
    // Walking the list in both orders, with and without holes in the ids, is the gap tests'.
    BillsStore store;
    ASSERT_TRUE(store.Open(path_) && store.OpenBills());
    TableRecordset& bills = store.bills();
    bills.SetDescending(false);
    bills.MoveTo(2);
    EXPECT_EQ(AsText(*bills.Field("operator")), "op3");
    EXPECT_EQ(AsNumber(*bills.Field("total_cost")), 0.03);
    EXPECT_FALSE(bills.Field("no such field"));

    // A bill written afterwards shows up on refresh, at the end, on the first row again.
    Bill b;
    b.operator_name = "new";
    store.StoreBill(b, nullptr);
    const auto before = bills.RecordCount();
    ASSERT_TRUE(store.OpenBills());
    EXPECT_EQ(bills.RecordCount(), before + 1);
    EXPECT_EQ(bills.current(), 0);
    EXPECT_EQ(AsText((*bills.RowAt(before))[2]), "new");

    ASSERT_TRUE(store.OpenCalls(7));
    EXPECT_EQ(store.calls().RecordCount(), 2);
    ASSERT_TRUE(store.OpenCalls(9));
    EXPECT_EQ(store.calls().RecordCount(), 0);  // open and empty
    EXPECT_EQ(store.calls().current(), -1);
}

TEST(Recordset, DamagedValuesConvertToNothing) {
    auto text = [](std::string t) { return Value{Value::Kind::kText, 0, 0, std::move(t)}; };
    EXPECT_EQ(AsNumber(text("2.5")), 2.5);
    EXPECT_FALSE(AsNumber(text("2,5")));
    EXPECT_FALSE(AsNumber(Value{}));
    EXPECT_EQ(AsInteger(Value{Value::Kind::kReal, 0, 12.0, {}}), 12);
    EXPECT_FALSE(AsInteger(Value{Value::Kind::kReal, 0, 1.5, {}}));
    EXPECT_TRUE(AsTime(text("2026-12-07 09:05:03")));
    EXPECT_FALSE(AsTime(text("07/12/26 09:05:03")));
    EXPECT_FALSE(AsTime(Value{Value::Kind::kReal, 0, 46000.5, {}}));
    EXPECT_EQ(AsText(Value{}), "");
    EXPECT_EQ(AsText(Value{Value::Kind::kReal, 0, 0.2, {}}), "0.2");
}

#ifndef _WIN32
// The console killed in the middle of a bill: every bill in the store has all of its calls.
TEST_F(Store, KilledMidBillLeavesNoHalfBill) {
    Sql("", true);
    const pid_t child = fork();
    if (child == 0) {
        BillsStore store;
        if (!store.Open(path_)) _exit(1);
        for (Bill b = Sample(20);; b.id = 0) store.StoreBill(b, nullptr);
    }
    for (int i = 0; i < 500 && std::stoi("0" + Sql("select count(*) from bills")) < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_NE(Sql("select count(*) from bills"), "0");
    EXPECT_EQ(Sql("select count(*) from (select id_bill, count(*) n from calls group by id_bill) "
                  "where n <> 20 or id_bill not in (select id_bill from bills)"),
              "0");
    EXPECT_EQ(Sql("pragma integrity_check"), "ok");
}
#endif

}  // namespace
}  // namespace tlx::billing
