// The bills store on real files: what a bill writes, what it never does to a file, and that
// a bill is either whole in the store or not there at all.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "billing/store.h"

namespace tlx::billing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tlx-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "bills.mdb").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void Create() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    // One value of a query on the file, as text ("" for NULL or no row).
    std::string Query(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0)) {
            out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        }
        sqlite3_finalize(s);
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
        for (int i = 0; i < calls; ++i)
            b.calls.push_back({"0'1", "10:00:00", "60", 1, 1.2, 0.5, 0.2});
        return b;
    }

    fs::path dir_;
    std::string path_;
    std::vector<std::string> reports_;
    BillsStore::Reporter reporter_ = [this](const std::string& list) { reports_.push_back(list); };
};

TEST_F(Store, BillAndCallsAsTyped) {
    Create();
    BillsStore store;
    ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
    Bill b = Sample(2);
    store.StoreBill(b, reporter_);
    EXPECT_EQ(b.id, 1);
    Bill empty = Sample(0);
    store.StoreBill(empty, reporter_);
    EXPECT_EQ(empty.id, 2);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(Query("select issued_date||'|'||operator||'|'||cabin_number||'|'||total_cost||'|'||"
                    "total_taxes||'|'||total_cost_taxes from bills where id_bill=1"),
              "2026-12-07 09:05:03|O'Brien|Joe's|1.23|0.2|1.43");
    EXPECT_EQ(Query("select count(*)||'|'||min(destination)||'|'||sum(call_cost_taxes) from calls "
                    "where id_bill=1"),
              "2|0'1|2.4");
    EXPECT_EQ(Query("select count(*) from calls where id_bill=2"), "0");

    // Ids above 32767 come back unchanged.
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_exec(db, "update sqlite_sequence set seq=70000 where name='bills'", 0, 0, 0);
    sqlite3_close(db);
    Bill big = Sample(1);
    store.StoreBill(big, reporter_);
    EXPECT_EQ(big.id, 70001);
    EXPECT_EQ(Query("select id_bill from calls order by id_call desc limit 1"), "70001");
}

TEST_F(Store, RefusedBillRowStillStoresItsCallsUnderZero) {
    Create();
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_exec(db,
                 "create trigger no_bills before insert on bills begin "
                 "select raise(abort, 'bills refused'); end",
                 0, 0, 0);
    sqlite3_close(db);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    Bill b = Sample(2);
    store.StoreBill(b, reporter_);
    EXPECT_EQ(b.id, 0);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], "Error number: 1811\tbills refused\n");  // SQLITE_CONSTRAINT_TRIGGER
    EXPECT_EQ(Query("select count(*) from calls where id_bill=0"), "2");
}

TEST_F(Store, FilesItCannotUseAreLeftAsTheyWere) {
    BillsStore store;
    EXPECT_FALSE(store.Open(path_));  // missing: not created
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(ErrorList(store.errors()), "Error number: 14\tunable to open database file\n");

    for (const std::string& content :
         {"Standard Jet DB\0\0\0 an old Access file"s, "a;b;c\n"s, ""s}) {
        std::ofstream(path_, std::ios::binary) << content;
        EXPECT_FALSE(store.Open(path_)) << content;
        EXPECT_FALSE(store.errors().empty());
        std::ifstream in(path_, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    }
}

// Another program holds the file: the bill waits a little, is reported once and writes
// nothing (a read-only file fails the same first statement).
TEST_F(Store, LockedStoreReportsOnceAndWritesNothing) {
    Create();
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    sqlite3* other = nullptr;
    sqlite3_open(path_.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", 0, 0, 0), SQLITE_OK);
    Bill b = Sample(3);
    const auto start = std::chrono::steady_clock::now();
    store.StoreBill(b, reporter_);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBusyWaitMs));
    sqlite3_exec(other, "rollback", 0, 0, 0);
    sqlite3_close(other);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("database is locked"), std::string::npos) << reports_[0];
    EXPECT_EQ(b.id, 0);
    EXPECT_EQ(Query("select count(*) from bills"), "0");
}

#ifndef _WIN32
// The console killed in the middle of a bill: every bill in the store has all of its calls.
TEST_F(Store, KilledMidBillLeavesNoHalfBill) {
    Create();
    const pid_t child = fork();
    if (child == 0) {
        BillsStore store;
        if (!store.Open(path_)) _exit(1);
        for (;;) {
            Bill b = Sample(20);
            store.StoreBill(b, nullptr);
        }
    }
    // Let it write a few bills, then pull the plug.
    for (int i = 0; i < 500 && std::stoi("0" + Query("select count(*) from bills")) < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    EXPECT_NE(Query("select count(*) from bills"), "0");
    EXPECT_EQ(Query("select count(*) from (select id_bill, count(*) n from calls group by id_bill) "
                    "where n <> 20 or id_bill not in (select id_bill from bills)"),
              "0");
    EXPECT_EQ(Query("pragma integrity_check"), "ok");
}
#endif

}  // namespace
}  // namespace tlx::billing
