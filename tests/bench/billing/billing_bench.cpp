// NewBill's own work for a 20-call bill, timed: compose it from a booth's print text, store it
// durably in a fresh store, lay it out on a recording printer. Prints median and 99th
// percentile; asserts nothing.
//   billing_bench [BILLS] [FOLDER]
//   billing_bench fill FILE BILLS   (a store for the bills page's benchmark)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/billing/layout.h"
#include "core/billing/store.h"
#include "tests/unit/billing/recording_printer.h"

using namespace tlx::billing;

// A store of `bills` bills with three calls each, for the bills page's benchmark.
int Fill(const std::string& path, long bills) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return 1;
    const std::string sql =
        std::string(StoreSchema()) +
        "; begin; with recursive n(i) as (select 1 union all select i+1 from n where i<" +
        std::to_string(bills) +
        ") insert into bills(issued_date, operator, cabin_number, total_cost, total_taxes, "
        "total_cost_taxes) select '2026-12-07 09:00:00', 'Anna', 'Booth '||(i%12), 3.6, 0.72, "
        "4.32 from n; insert into calls(id_bill, destination, end_date, duration, rate, "
        "call_taxes, call_cost, call_cost_taxes) select id_bill, '0044123'||k, '10:00:00', "
        "'60', 1.2, 0.24, 1.2, 1.44 from bills, (select 1 k union all select 2 union all "
        "select 3); commit;";
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) std::fprintf(stderr, "fill: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "fill") return Fill(argv[2], std::atol(argv[3]));
    const int bills = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const std::filesystem::path dir =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::string path = (dir / "tlx-bench-bills.mdb").string();
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, std::string(StoreSchema()).c_str(), nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
        std::fprintf(stderr, "cannot make %s\n", path.c_str());
        return 1;
    }
    sqlite3_close(db);

    std::string text = "Booth 7;";
    for (int i = 0; i < 20; ++i) {
        text += "00441234567" + std::to_string(i) + ";10:00:05;10:02:10;125;2.50;1.20|";
    }
    BillsStore store;
    if (!store.Open(path)) {
        std::fprintf(stderr, "%s", ErrorList(store.errors()).c_str());
        return 1;
    }
    std::vector<double> ms;
    for (int i = 0; i < bills; ++i) {
        const auto start = std::chrono::steady_clock::now();
        NewBillPlan plan = ComposeBill(text, "Anna", LocalTime{2026, 12, 7, 9, 0, 0}, 0.2);
        store.StoreBill(plan.bill,
                        [](const std::string& e) { std::fprintf(stderr, "%s", e.c_str()); });
        RecordingPrinter printer;
        LayoutBill(plan.bill, printer);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    store.Close();
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
    std::sort(ms.begin(), ms.end());
    std::printf(
        "NewBill, 20 calls (compose, durable store, layout), %d bills: median %.3f ms, "
        "99th percentile %.3f ms\n",
        bills, ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
    return 0;
}
