// What the store does when a part of it fails, what it says about files it cannot use, and the
// bills list walked from its end over ids with holes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

Bill ThreeCalls() {
    Bill b;
    b.operator_name = "op";
    b.calls = {
        {"1", "", "", 1, 1, 1, 1}, {"refused", "", "", 2, 2, 2, 2}, {"3", "", "", 3, 3, 3, 3}};
    return b;
}

using StoreFaults = TempStore;

TEST_F(StoreFaults, RefusedCallIsReportedAndTheOthersAreStored) {
    Sql("create trigger no_call before insert on calls when new.destination = 'refused' "
        "begin select raise(abort, 'call refused'); end",
        true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    Bill b = ThreeCalls();
    store.StoreBill(b, reporter_);
    EXPECT_EQ(b.id, 1);
    EXPECT_EQ(reports_, std::vector<std::string>{"Error number: 1811\tcall refused\n"});
    EXPECT_EQ(Sql("select id_bill, destination from calls order by id_call"), "1|1\n1|3\n");
}

// A reader holds the file when the bill commits (a store in rollback-journal mode): the commit
// waits, is reported once, and neither the bill nor any call is left behind.
TEST_F(StoreFaults, FailedCommitIsReportedAndWritesNothing) {
    Sql("pragma journal_mode = delete", true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    sqlite3* reader = nullptr;
    sqlite3_open(path_.c_str(), &reader);
    ASSERT_EQ(sqlite3_exec(reader, "begin; select count(*) from bills;", 0, 0, 0), SQLITE_OK);
    Bill b = ThreeCalls();
    store.StoreBill(b, reporter_);
    sqlite3_close(reader);
    EXPECT_EQ(b.id, 0);
    EXPECT_EQ(reports_, std::vector<std::string>{"Error number: 5\tdatabase is locked\n"});
    EXPECT_EQ(Sql("select count(*) from bills union all select count(*) from calls"), "0\n0\n");
    store.StoreBill(b, reporter_);  // the store is usable again
    EXPECT_EQ(b.id, 1);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr char kThousands[] =
    "with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
    "insert into bills(operator) select 'operator '||i from n";

// Overwrites the middle page of the file: the schema still reads, the data does not.
void DamagePage(const std::string& path) {
    const auto size = static_cast<long>(Contents(path).size());
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(size / 4096 / 2 * 4096);
    f << std::string(4096, '\xFF');
}

TEST_F(StoreFaults, CheckNamesWhatIsWrongWithAFile) {
    struct Case {
        const char* what;
        std::string sql;  // empty: a store with 3000 bills
        bool damage;
        const char* problem;  // how the first one CheckStore names starts; empty: none
    };
    const Case cases[] = {
        {"sound", "", false, ""},
        {"damaged page", "", true, "*** in database main ***\n"},
        {"foreign", "create table customers(id)", false, "no such table: bills"},
        {"column missing",
         "create table bills(id_bill, issued_date, operator, total_cost, total_taxes, "
         "total_cost_taxes); create table calls(id_call, id_bill, destination, end_date, "
         "duration, rate, call_taxes, call_cost, call_cost_taxes)",
         false, "no such column: cabin_number"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        Sql(c.sql.empty() ? kThousands : c.sql, c.sql.empty());
        if (c.damage) DamagePage(path_);
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        const auto problems = CheckStore(db);
        sqlite3_close(db);
        EXPECT_EQ(problems.empty(), !*c.problem) << c.what;
        if (!problems.empty()) {
            EXPECT_EQ(problems[0].substr(0, std::strlen(c.problem)), c.problem) << c.what;
        }
        if (c.damage) continue;
        const std::string before = Contents(path_);
        BillsStore store;
        EXPECT_EQ(store.Open(path_), !*c.problem) << c.what;
        EXPECT_EQ(store.errors().empty(), !*c.problem) << c.what;
        if (*c.problem) {
            EXPECT_EQ(Contents(path_), before) << c.what;
        }
    }
}

#ifdef TLX_BILLSDB
// The store's tool as the shop runs it: exit status and what it says.
TEST_F(StoreFaults, ToolCreatesAndChecks) {
    const auto run = [&](const std::string& args) {
        const int status =
            std::system((TLX_BILLSDB " " + args + " >" + path_ + ".out 2>&1").c_str());
        return std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(path_ + ".out"));
    };
    EXPECT_EQ(run("create " + path_), std::pair(0, "created " + path_ + "\n"));
    EXPECT_EQ(run("check " + path_), std::pair(0, path_ + ": ok\n"));
    EXPECT_EQ(Sql("pragma journal_mode"), "wal\n");
    const std::string fresh = Contents(path_);
    EXPECT_EQ(run("create " + path_).first, 1);
    EXPECT_EQ(Contents(path_), fresh);  // an existing file is never touched
    EXPECT_EQ(run("create " + path_ + ".d/sub").first, 1);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".d"));
    EXPECT_EQ(run("check").first, 2);

    Sql(kThousands);
    DamagePage(path_);
    const auto [status, said] = run("check " + path_);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("billsdb: " + path_ + ": *** in database main ***"), std::string::npos)
        << said;
    std::filesystem::remove(path_);
    Sql("create table bills(id_bill)");
    EXPECT_EQ(run("check " + path_).first, 1);
}
#endif

// Ids with holes at the start, in the middle, one alone and several together: the list read
// from a jump to the middle, then from its last row back to its first, in both orders.
TEST_F(StoreFaults, ListWalkedBackwardsOverHolesInTheIds) {
    struct Case {
        const char* holes;
        std::vector<std::int64_t> missing;
    };
    const Case cases[] = {
        {"none", {}},
        {"exactly one", {150}},
        {"the first", {1}},
        {"the last", {3000}},
        {"several", {1, 2, 3, 64, 65, 66, 129, 200, 201, 202, 203, 204, 299}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        std::string remove = "delete from bills where id_bill in (0";
        for (const auto id : c.missing) remove.append(",").append(std::to_string(id));
        Sql("with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
            "insert into bills(id_bill, operator) select i, 'op'||i from n; " +
                remove + ")",
            true);
        std::vector<std::int64_t> ids;
        for (std::int64_t id = 1; id <= 3000; ++id)
            if (std::find(c.missing.begin(), c.missing.end(), id) == c.missing.end())
                ids.push_back(id);
        const auto n = static_cast<std::int64_t>(ids.size());
        BillsStore store;
        ASSERT_TRUE(store.Open(path_) && store.OpenBills()) << c.holes;
        TableRecordset& bills = store.bills();
        ASSERT_EQ(bills.RecordCount(), n) << c.holes;
        for (const bool descending : {false, true}) {
            bills.SetDescending(descending);
            EXPECT_EQ(bills.current(), 0) << c.holes;  // it stands on the first row again
            const auto expected = [&](std::int64_t i) { return ids[descending ? n - 1 - i : i]; };
            const Row* middle = bills.RowAt(n / 2);
            ASSERT_TRUE(middle) << c.holes;
            EXPECT_EQ((*middle)[0].integer, expected(n / 2)) << c.holes;
            // From the end to the start, then from the start to the end: the cache stays bounded.
            for (std::int64_t step = -1, i = n - 1; step <= 1; step += 2, i = 0) {
                for (; i >= 0 && i < n; i += step) {
                    const Row* row = bills.RowAt(i);
                    ASSERT_TRUE(row) << c.holes << " " << i;
                    ASSERT_EQ((*row)[0].integer, expected(i)) << c.holes << " " << i;
                    ASSERT_EQ(AsText((*row)[2]), "op" + std::to_string(expected(i)));
                }
            }
            EXPECT_LE(bills.cached_pages(), TableRecordset::kCachedPages);
        }
    }
}

// The list was opened on a store with no bills yet (its ids already past 10): the refresh after
// the first bills finds them all, in both orders.
TEST_F(StoreFaults, RefreshOfAnEmptyList) {
    Sql("insert into sqlite_sequence values('bills', 10)", true);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_) && store.OpenBills());
    TableRecordset& bills = store.bills();
    EXPECT_EQ(bills.RecordCount(), 0);
    EXPECT_EQ(bills.current(), -1);
    ASSERT_TRUE(store.OpenBills());  // nothing written: still empty
    EXPECT_EQ(bills.RecordCount(), 0);
    EXPECT_FALSE(bills.RowAt(0));
    for (int i = 0; i < 3; ++i) {
        Bill b;
        store.StoreBill(b, nullptr);
    }
    ASSERT_TRUE(store.OpenBills());
    ASSERT_EQ(bills.RecordCount(), 3);
    EXPECT_EQ(bills.current(), 0);
    for (const bool descending : {true, false}) {
        bills.SetDescending(descending);
        for (std::int64_t i = 2; i >= 0; --i) {
            ASSERT_TRUE(bills.RowAt(i)) << i;
            EXPECT_EQ((*bills.RowAt(i))[0].integer, descending ? 13 - i : 11 + i) << i;
        }
    }
}

}  // namespace
}  // namespace tlx::billing
