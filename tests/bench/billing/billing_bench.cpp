// NewBill's own work for a 20-call bill, timed: compose it from a booth's print text, store it
// durably in a fresh store, lay it out on a recording printer. Prints median and 99th
// percentile; asserts nothing.
//   billing_bench [BILLS] [FOLDER]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "billing/layout.h"
#include "billing/store.h"

using namespace tlx::billing;

int main(int argc, char** argv) {
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
