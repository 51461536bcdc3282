// NewBill's own work for a 20-call bill, timed: compose it from a booth's print text, store it
// durably (and sealed, in a second-edition store) in a fresh store, lay it out on a recording
// printer. Prints median and 99th percentile; asserts nothing.
//   billing_bench [BILLS] [FOLDER]
//   billing_bench fill FILE BILLS   (a store for the bills page's benchmark)
//   billing_bench verify [BILLS] [FOLDER]   (upgrade and chain check of a store of BILLS bills,
//                                           three calls each; a million by default; then its
//                                           checked backup, and the export of 100,000 bills)
//   billing_bench dayclose [FOLDER]   (the X figures of a period of 100,000 bills after a Z
//                                     close of 200,000, and that close; the period's bills
//                                     with their rate summary, the closed ones without)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/billing/backup.h"
#include "core/billing/bill_rates.h"
#include "core/billing/csv_export.h"
#include "core/billing/day_close.h"
#include "core/billing/layout.h"
#include "core/billing/ledger.h"
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
        "select 3) order by id_bill, k; commit;";
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) std::fprintf(stderr, "fill: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void RemoveStore(const std::string& path) {
    for (const char* end : {"", "-wal", "-shm", ".before-upgrade"}) {
        std::filesystem::remove(path + end);
    }
}

// The checked backup of the sealed store (copy, quick_check, chain) and the export of its first
// 100,000 bills (all issued on one day: the range's first 100,000 ids are made one day later).
int BackupAndExport(const std::string& path, const std::filesystem::path& dir, long bills) {
    const std::filesystem::path folder = dir / "tlx-bench-backups";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    const BackupOutcome backup = MakeBackup(path, folder.string(), LocalTime{2026, 12, 7, 9, 0, 0});
    const double backup_ms = MsSince(start);
    const double backup_cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    const long exported = std::min(bills, 100000L);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 ("update bills set issued_date='2026-12-08 09:00:00' where id_bill<=" +
                  std::to_string(exported))
                     .c_str(),
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    start = std::chrono::steady_clock::now();
    cpu = std::clock();
    const ExportOutcome csv = ExportCsv(path, "2026-12-08", "2026-12-08", folder.string());
    const double export_ms = MsSince(start);
    const double export_cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::error_code ec;
    const auto csv_bytes = std::filesystem::file_size(folder / "bills.csv", ec) +
                           std::filesystem::file_size(folder / "calls.csv", ec);
    std::printf(
        "backup (copy, quick_check, chain): %.1f MB in %.0f ms, %.0f ms of processor time (%s)\n"
        "CSV export of %lld bills and %lld calls: %.1f MB in %.0f ms, %.0f ms of processor "
        "time%s\n",
        static_cast<double>(backup.bytes) / 1e6, backup_ms, backup_cpu_ms,
        backup.ok() ? "checked" : backup.message.c_str(), static_cast<long long>(csv.bills),
        static_cast<long long>(csv.calls), static_cast<double>(csv_bytes) / 1e6, export_ms,
        export_cpu_ms, csv.ok ? "" : (" " + csv.message).c_str());
    std::filesystem::remove_all(folder);
    return backup.ok() && csv.ok ? 0 : 1;
}

// The upgrade (every bill sealed) and the chain check of a first-edition store at size.
int VerifyAtSize(long bills, const std::filesystem::path& dir) {
    const std::string path = (dir / "tlx-bench-chain.mdb").string();
    RemoveStore(path);
    auto start = std::chrono::steady_clock::now();
    if (Fill(path, bills) != 0) return 1;
    const double fill_ms = MsSince(start);
    start = std::chrono::steady_clock::now();
    const UpgradeOutcome up = UpgradeStore(path);
    const double upgrade_ms = MsSince(start);
    if (up.kind != UpgradeOutcome::Kind::kUpgraded) {
        std::fprintf(stderr, "%s\n", up.message.c_str());
        return 1;
    }
    sqlite3* db = nullptr;
    OpenForCheck(path, &db);
    start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    const ChainCheck check = VerifyChain(db);
    const double verify_ms = MsSince(start);
    const double verify_cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    sqlite3_close(db);
    const int backed_up = BackupAndExport(path, dir, bills);
    std::error_code ec;
    const auto size =
        std::filesystem::file_size(path, ec) + std::filesystem::file_size(path + "-wal", ec);
    std::printf(
        "store of %ld bills, 3 calls each: %.1f MB, filled in %.0f ms\n"
        "upgrade (copy, %lld seals): %.0f ms\n"
        "chain check: %.0f ms, %.0f ms of processor time (%s)\n",
        bills, size / 1e6, fill_ms, static_cast<long long>(up.sealed), upgrade_ms, verify_ms,
        verify_cpu_ms, check.Text().c_str());
    RemoveStore(path);
    return check.intact && backed_up == 0 ? 0 : 1;
}

// The X figures of the newest 100,000 bills, after a Z close of the 200,000 before them.
int DayCloseAtSize(const std::filesystem::path& dir) {
    const std::string path = (dir / "tlx-bench-dayclose.mdb").string();
    RemoveStore(path);
    if (Fill(path, 200000) != 0) return 1;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, std::string(LedgerSchema()).c_str(), nullptr, nullptr, nullptr);
    auto start = std::chrono::steady_clock::now();
    const CloseOutcome z = CloseDay(db, {"Anna", "", "2026-12-07 22:00:00", 0, 5000});
    const double close_ms = MsSince(start);
    // The next day's bills: a copy of the first 100,000 with their calls.
    sqlite3_exec(db,
                 "begin; insert into bills(issued_date, operator, cabin_number, total_cost, "
                 "total_taxes, total_cost_taxes) select '2026-12-08 09:00:00', operator, "
                 "cabin_number, total_cost, total_taxes, total_cost_taxes from bills where "
                 "id_bill<=100000 order by id_bill; insert into calls(id_bill, destination, "
                 "end_date, duration, rate, call_taxes, call_cost, call_cost_taxes) select "
                 "id_bill+200000, destination, end_date, duration, rate, call_taxes, call_cost, "
                 "call_cost_taxes from calls where id_bill<=100000 order by id_call;",
                 nullptr, nullptr, nullptr);
    // Stored since the store gained the rate summary: each bill's, as the console writes it.
    for (std::int64_t id = 200001; id <= 300000; ++id) {
        if (SummarizeBill(db, id) != SQLITE_OK) std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    }
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    // As the day close dialog opens the store.
    sqlite::Db dialog = OpenForDayClose(path, true);
    db = dialog.get();
    std::vector<double> ms;
    std::optional<DayFigures> x;
    const std::clock_t cpu = std::clock();
    for (int i = 0; i < 7; ++i) {
        start = std::chrono::steady_clock::now();
        x = CurrentFigures(db, "2026-12-08 22:00:00");
        ms.push_back(MsSince(start));
    }
    // Processor time of every thread of the process.
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / 7;
    dialog.reset();
    RemoveStore(path);
    std::sort(ms.begin(), ms.end());
    if (!x || z.close.number != 1) {
        std::fprintf(stderr, "day close failed: %s\n", z.error.c_str());
        return 1;
    }
    std::printf(
        "X report over %lld bills (of 300,000): median %.1f ms, slowest %.1f ms, %.1f ms of "
        "processor time\n"
        "Z close over 200,000 bills: %.0f ms\n",
        static_cast<long long>(x->bills), ms[ms.size() / 2], ms.back(), cpu_ms, close_ms);
    return 0;
}

// NewBill in a store of the given edition: median and 99th percentile.
int NewBill(int bills, const std::filesystem::path& dir, int edition) {
    const std::string path = (dir / "tlx-bench-bills.mdb").string();
    RemoveStore(path);
    std::string schema(StoreSchema());
    if (edition >= 2) schema.append(";").append(LedgerSchema());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
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
        ms.push_back(MsSince(start));
    }
    store.Close();
    RemoveStore(path);
    std::sort(ms.begin(), ms.end());
    std::printf(
        "NewBill, 20 calls (compose, durable store%s, layout), %d bills: median %.3f ms, "
        "99th percentile %.3f ms\n",
        edition >= 2 ? ", sealed" : "", bills, ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "fill") return Fill(argv[2], std::atol(argv[3]));
    auto folder = [&](int at) {
        return argc > at ? std::filesystem::path(argv[at]) : std::filesystem::temp_directory_path();
    };
    if (argc > 1 && std::string(argv[1]) == "dayclose") return DayCloseAtSize(folder(2));
    if (argc > 1 && std::string(argv[1]) == "verify") {
        return VerifyAtSize(argc > 2 ? std::max(1L, std::atol(argv[2])) : 1000000L, folder(3));
    }
    const int bills = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    return NewBill(bills, folder(2), 1) || NewBill(bills, folder(2), 2);
}
