// The console's text conversions on the real platform: its ANSI code page to UTF-8 for the
// bills store and back, and an accented bill stored and read back through the console's store.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <windows.h>

#include <string>

#include "console/bills/bills_database.h"
#include "core/billing/bills_view.h"
#include "win32/text.h"

namespace tlx::console {
namespace {

using namespace tlx::win32;

// The first value of the last row sql gives, or its error.
std::string First(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    std::string out;
    char* error = nullptr;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* o, int, char** v, char**) {
            *static_cast<std::string*>(o) = v[0] ? v[0] : "";
            return 0;
        },
        &out, &error);
    if (error) out = std::string("error: ") + error;
    sqlite3_free(error);
    sqlite3_close(db);
    return out;
}

TEST(BillsText, AccentsCrossTheStoreBoundaryBothWays) {
    if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252, not " << GetACP();
    const std::string ansi =
        "Ren\xE9"
        "e B\xFCro \x80";
    const std::string utf8 =
        "Ren\xC3\xA9"
        "e B\xC3\xBCro \xE2\x82\xAC";
    EXPECT_EQ(WideFromAnsi(ansi), L"Ren\u00E9e B\u00FCro \u20AC");

    BillsDatabase database;
    billing::BillsStore& store = database.store();
    EXPECT_EQ(store.ToStore(ansi), utf8);
    EXPECT_EQ(store.FromStore(utf8), ansi);

    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "tellarix-bills-text-test.mdb";
    for (const char* end : {"", "-wal", "-shm"}) DeleteFileA((path + end).c_str());
    ASSERT_EQ(First(path, std::string(billing::StoreSchema()) + "; select 'made'"), "made");
    ASSERT_TRUE(store.Open(path)) << billing::ErrorList(store.errors());
    billing::Bill bill;
    bill.operator_name = bill.cabin = ansi;
    bill.issued = billing::LocalTime{2024, 2, 29, 10, 0, 0};
    bill.calls.push_back({ansi, "10:00:00", "60", 1.5, 1.8, 0.25, 0.3});
    std::string reported;
    store.StoreBill(bill, [&](const std::string& list) { reported += list; });
    EXPECT_EQ(reported, "");
    EXPECT_EQ(First(path, "select operator||cabin_number||destination from bills, calls"),
              utf8 + utf8 + utf8);

    ASSERT_TRUE(store.OpenBills() && store.OpenCalls(static_cast<std::uint32_t>(bill.id)));
    const billing::Bill back = billing::StoredBill(store.bills(), store.calls());
    EXPECT_EQ(back.operator_name, ansi);
    EXPECT_EQ(back.cabin, ansi);
    ASSERT_EQ(back.calls.size(), 1u);
    EXPECT_EQ(back.calls[0].destination, ansi);
    database.CloseDatabase();
    for (const char* end : {"", "-wal", "-shm"}) DeleteFileA((path + end).c_str());
}

}  // namespace
}  // namespace tlx::console
