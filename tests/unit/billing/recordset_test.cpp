// The bills page's recordsets over a real store: every row reachable in both orders whatever
// gaps the keys have, a bounded cache, refreshing that only adds, and values that may be damaged.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>

#include "billing/store.h"

namespace tlx::billing {
namespace {

TEST(Recordset, EveryRowInBothOrdersWithABoundedCache) {
    const auto path = (std::filesystem::temp_directory_path() /
                       ("tlx-rs-" + std::to_string(std::random_device{}()) + ".mdb"))
                          .string();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db,
                 "with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
                 "insert into bills(id_bill, operator, total_cost) select i, 'op'||i, i/100.0 "
                 "from n; insert into calls(id_bill, destination) values(7,'a'),(7,'b'),(8,'c');",
                 nullptr, nullptr, nullptr);
    BillsStore store;
    ASSERT_TRUE(store.Open(path));
    for (const bool gaps : {false, true}) {
        if (gaps)
            sqlite3_exec(db, "delete from bills where id_bill % 7 = 0", nullptr, nullptr, nullptr);
        store.Close();
        ASSERT_TRUE(store.Open(path) && store.OpenBills());
        TableRecordset& bills = store.bills();
        std::vector<std::int64_t> ids;
        sqlite3_exec(
            db, "select id_bill from bills order by id_bill",
            [](void* o, int, char** v, char**) {
                static_cast<std::vector<std::int64_t>*>(o)->push_back(std::stoll(v[0]));
                return 0;
            },
            &ids, nullptr);
        ASSERT_EQ(bills.RecordCount(), static_cast<std::int64_t>(ids.size()));
        for (const bool descending : {false, true}) {
            bills.SetDescending(descending);
            EXPECT_EQ(bills.current(), 0);
            // The end first, then a jump to the middle, then everything in both directions.
            for (std::int64_t i : {std::int64_t(ids.size()) - 1, std::int64_t(ids.size()) / 2}) {
                const Row* row = bills.RowAt(i);
                ASSERT_TRUE(row);
                EXPECT_EQ((*row)[0].integer, descending ? ids[ids.size() - 1 - i] : ids[i]);
            }
            for (std::size_t i = 0; i < ids.size(); ++i) {
                const Row* row = bills.RowAt(static_cast<std::int64_t>(i));
                ASSERT_TRUE(row) << i;
                ASSERT_EQ((*row)[0].integer, descending ? ids[ids.size() - 1 - i] : ids[i]) << i;
            }
            EXPECT_LE(bills.cached_pages(), TableRecordset::kCachedPages);
        }
    }
    TableRecordset& bills = store.bills();
    bills.SetDescending(false);
    bills.MoveTo(2);
    EXPECT_EQ(AsText(*bills.Field("operator")), "op3");
    EXPECT_EQ(AsNumber(*bills.Field("total_cost")), 0.03);
    EXPECT_FALSE(bills.Field("no such field"));

    // A bill written afterwards shows up on refresh, at the end, and the list stands on its
    // first row again.
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
    sqlite3_close(db);
    store.Close();
    std::filesystem::remove(path);
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

}  // namespace
}  // namespace tlx::billing
