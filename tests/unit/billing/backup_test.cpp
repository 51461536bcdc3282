// Backups of the bills store on real files: a copy taken while bills are written, a year of
// rotation, interrupted and refused copies, the restore that keeps what it replaces, the start-up
// check, and the tool's exit status.
#include "core/billing/backup.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "core/billing/ledger.h"
#include "core/billing/store.h"
#include "tests/unit/billing/backup_fixture.h"

namespace tlx::billing {
namespace {

namespace fs = std::filesystem;

constexpr LocalTime kNow{2026, 12, 7, 9, 30, 0};

// --- Copies made while the console bills ------------------------------------------------------

TEST_F(BackupFixture, CopyTakenWhileBillsAreWrittenHoldsEveryBillWhole) {
    MakeStore(2, 20);
    std::atomic<bool> stop{false};
    std::atomic<int> written{0}, failures{0};
    std::thread writer([&] {
        BillsStore store;
        if (!store.Open(path_)) return void(++failures);
        for (int i = 0; !stop; ++i) {
            Bill b = Sample(1 + i % 5, i);
            store.StoreBill(b, [&](const std::string&) { ++failures; });
            ++written;
        }
    });
    auto wait_for = [&](int bills) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (written < bills && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
    };
    std::vector<BackupOutcome> made;
    for (int i = 0; i < 4; ++i) {
        wait_for(5 * (i + 1));
        LocalTime at = kNow;
        at.second = i;
        made.push_back(MakeBackup(path_, folder_, at));
    }
    stop = true;
    writer.join();
    EXPECT_EQ(failures, 0);
    ASSERT_GE(written, 20);
    for (const auto& copy : made) {
        ASSERT_TRUE(copy.ok()) << copy.message;
        EXPECT_EQ(fs::path(copy.path).filename().string().substr(0, 20), "bills-2026-12-07-093");
        const HealthCheck check = CheckBackupFile(copy.path);
        EXPECT_TRUE(check.sound) << check.what;
        EXPECT_EQ(check.chain.bills, copy.bills);
        EXPECT_GT(copy.bills, 20);
        EXPECT_EQ(Query(copy.path, "select count(*) from bills"), std::to_string(copy.bills));
        // Every bill with all its calls: a bill's total is the sum of its calls' costs.
        EXPECT_EQ(Query(copy.path,
                        "select count(*) from bills b where abs(total_cost - (select "
                        "coalesce(sum(call_cost),0) from calls c where "
                        "c.id_bill=b.id_bill)) > 0.001"),
                  "0");
        // A file of its own: nothing needed beside it.
        EXPECT_FALSE(fs::exists(copy.path + "-wal"));
    }
    EXPECT_EQ(FilesIn(folder_).size(), 4u) << "no leftover of any copy";
}

TEST_F(BackupFixture, FirstEditionStoreIsCopiedAndCounted) {
    MakeStore(1, 3);
    const BackupOutcome copy = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(copy.ok()) << copy.message;
    EXPECT_EQ(copy.bills, 3);
    EXPECT_EQ(fs::path(copy.path).filename(), "bills-2026-12-07-093000.mdb");
    EXPECT_GT(copy.bytes, 0u);
}

// --- What never replaces a good copy ------------------------------------------------------------

TEST_F(BackupFixture, FailedOrInterruptedCopyLeavesThePreviousOnesIntact) {
    MakeStore(2, 5);
    const BackupOutcome good = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(good.ok()) << good.message;
    const std::string good_bytes = Bytes(good.path);

    // A power cut in the middle of yesterday's copy left its parts.
    const fs::path partial = fs::path(folder_) / "bills-2026-12-06-080000.mdb.partial";
    for (const char* end : {"", "-journal"}) std::ofstream(partial.string() + end) << "half";
    std::ofstream(fs::path(folder_) / "notes.partial") << "not ours";
    LocalTime later = kNow;
    later.day = 8;
    const BackupOutcome next = MakeBackup(path_, folder_, later);
    ASSERT_TRUE(next.ok()) << next.message;
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_FALSE(fs::exists(partial.string() + "-journal"));
    EXPECT_TRUE(fs::exists(fs::path(folder_) / "notes.partial"));

    struct Case {
        const char* name;
        std::function<void()> arrange;
        LocalTime at;
        std::string folder;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"the same second again", [] {}, later, folder_, "exists already"},
        {"a folder that is gone", [] {}, kNow, folder_ + "-gone", "cannot be found"},
        {"a store whose seals do not hold",
         [&] { Query(path_, "update bills set total_cost=0 where id_bill=2"); },
         LocalTime{2026, 12, 9, 8, 0, 0}, folder_, "failed its check: the seals do not hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const auto before = FilesIn(folder_);
        const BackupOutcome failed = MakeBackup(path_, c.folder, c.at);
        EXPECT_FALSE(failed.ok());
        EXPECT_NE(failed.message.find(c.says), std::string::npos) << failed.message;
        EXPECT_EQ(failed.message.rfind("No backup was made: ", 0), 0u) << failed.message;
        EXPECT_EQ(FilesIn(folder_), before);
    }
    EXPECT_EQ(Bytes(good.path), good_bytes);
    EXPECT_FALSE(fs::exists(folder_ + "-gone")) << "a missing folder is not made";
}

#ifndef _WIN32
// The disk fills during the copy: the copy fails as a whole and the others stay.
TEST_F(BackupFixture, FullDiskLeavesNoPartialCopy) {
    MakeStore(2, 5);  // some pages more than the limit below
    const BackupOutcome good = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(good.ok()) << good.message;
    const auto before = FilesIn(folder_);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        setrlimit(RLIMIT_FSIZE, &limit);
        const BackupOutcome full = MakeBackup(path_, folder_, {2026, 12, 8, 8, 0, 0});
        _exit(!full.ok() && full.message.rfind("No backup was made", 0) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FilesIn(folder_), before);
    EXPECT_TRUE(CheckBackupFile(good.path).sound);
}
#endif

// --- Rotation -----------------------------------------------------------------------------------

// A year of a shop: start-up at 08:00 (a copy when none of the day exists), a second start-up at
// 13:00, a day close at 22:00 except on Sundays; the rotation after each copy.
TEST_F(BackupFixture, AYearOfRotationKeepsSevenDailyFourWeeklyTwelveMonthly) {
    using namespace std::chrono;
    const fs::path dir(folder_);
    const std::vector<std::string> strangers = {"notes.txt", "bills-2026-01-01-0800.mdb",
                                                "bills-2026-02-30-080000.mdb",
                                                "bills-2026-01-01-080000.mdb.bak"};
    for (const auto& name : strangers) std::ofstream(dir / name) << "x";
    fs::create_directory(dir / "bills-2026-01-02-070000.mdb");
    // Made while the clock was a year ahead: never counted, never removed.
    std::ofstream(dir / "bills-2027-06-01-080000.mdb") << "x";

    auto copy_at = [&](const LocalTime& t) {
        std::ofstream(dir / BackupName(t)) << "x";
        RotateBackups(folder_, t);
        ASSERT_TRUE(fs::exists(dir / BackupName(t))) << "the newest copy is never removed";
    };
    for (sys_days day = 2026y / January / 1; day <= 2026y / December / 31; day += days{1}) {
        const year_month_day date(day);
        LocalTime t{static_cast<int>(date.year()),
                    static_cast<int>(unsigned(date.month())),
                    static_cast<int>(unsigned(date.day())),
                    8,
                    0,
                    0};
        for (int hour : {8, 13}) {
            t.hour = hour;
            if (BackupDue(folder_, t)) copy_at(t);
            EXPECT_FALSE(BackupDue(folder_, t));
        }
        t.hour = 22;
        if (weekday(day) != Sunday) copy_at(t);
    }

    std::vector<std::string> kept;
    for (const auto& name : FilesIn(folder_)) {
        if (BackupTime(name)) kept.push_back(name);
    }
    const std::vector<std::string> expected = {
        // monthly: the last copy of each of the twelve months
        "bills-2026-01-31-220000.mdb", "bills-2026-02-28-220000.mdb", "bills-2026-03-31-220000.mdb",
        "bills-2026-04-30-220000.mdb", "bills-2026-05-31-080000.mdb", "bills-2026-06-30-220000.mdb",
        "bills-2026-07-31-220000.mdb", "bills-2026-08-31-220000.mdb", "bills-2026-09-30-220000.mdb",
        "bills-2026-10-31-220000.mdb", "bills-2026-11-30-220000.mdb",
        // weekly: the Sundays ending the weeks before the last two
        "bills-2026-12-13-080000.mdb", "bills-2026-12-20-080000.mdb",
        // daily: the last seven days (the last of them also December's and its week's)
        "bills-2026-12-25-220000.mdb", "bills-2026-12-26-220000.mdb", "bills-2026-12-27-080000.mdb",
        "bills-2026-12-28-220000.mdb", "bills-2026-12-29-220000.mdb", "bills-2026-12-30-220000.mdb",
        "bills-2026-12-31-220000.mdb", "bills-2027-06-01-080000.mdb"};
    EXPECT_EQ(kept, expected);
    for (const auto& name : strangers) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_TRUE(fs::is_directory(dir / "bills-2026-01-02-070000.mdb"));
}

TEST_F(BackupFixture, BackupAtStartUpIsMadeOnceADayAndAfterEachClose) {
    MakeStore(2, 2);
    EXPECT_EQ(BackUpAndRotate(path_, folder_, kNow, true).kind, BackupOutcome::Kind::kMade);
    LocalTime later = kNow;
    later.hour = 15;
    EXPECT_EQ(BackUpAndRotate(path_, folder_, later, true).kind, BackupOutcome::Kind::kNotDue);
    later.hour = 22;  // a day close
    EXPECT_EQ(BackUpAndRotate(path_, folder_, later, false).kind, BackupOutcome::Kind::kMade);
    // The day's newest copy stands for the day.
    EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{BackupName(later)});
    const BackupOutcome gone = BackUpAndRotate(path_, folder_ + "-gone", later, true);
    EXPECT_EQ(gone.kind, BackupOutcome::Kind::kFailed);
    EXPECT_NE(gone.message.find("cannot be found"), std::string::npos) << gone.message;
}

// --- Restore and the start-up check --------------------------------------------------------------

TEST_F(BackupFixture, DamagedBackupIsRefusedAndTheStoreIsUntouched) {
    MakeStore(2, 60);
    const BackupOutcome good = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(good.ok()) << good.message;
    const std::string store_bytes = Bytes(path_);
    const auto beside = FilesBeside();
    struct Case {
        const char* name;
        std::function<void(const std::string&)> damage;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"cut short", [](const std::string& f) { fs::resize_file(f, fs::file_size(f) / 2); },
         "damaged"},
        {"a page overwritten",
         [](const std::string& f) { Overwrite(f, 2 * 4096, std::string(4096, 'U')); }, "damaged"},
        {"a bill changed",
         [](const std::string& f) { Query(f, "update bills set cabin_number='x'"); },
         "seals do not hold"},
        {"not a store at all", [](const std::string& f) { std::ofstream(f) << "hello"; },
         "damaged"},
        {"a store of other tables",
         [](const std::string& f) {
             fs::remove(f);
             Query(f, "create table bills(x)");
         },
         "damaged"},
        {"missing", [](const std::string& f) { fs::remove(f); }, "cannot be found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string copy = folder_ + "/bills-2026-12-08-080000.mdb";
        fs::remove(copy);  // MinGW's copy_file cannot overwrite
        fs::copy_file(good.path, copy);
        c.damage(copy);
        EXPECT_FALSE(CheckBackupFile(copy).sound);
        EXPECT_EQ(NewestGoodBackup(folder_), good.path) << "the damaged newer copy is passed over";
        const RestoreOutcome refused = RestoreBackup(copy, path_, kNow);
        EXPECT_FALSE(refused.ok);
        EXPECT_NE(refused.message.find(c.says), std::string::npos) << refused.message;
        EXPECT_EQ(Bytes(path_), store_bytes);
        EXPECT_EQ(FilesBeside(), beside) << "nothing left beside it";
    }
}

TEST_F(BackupFixture, RestoreKeepsTheReplacedStoreAside) {
    MakeStore(2, 5);
    const BackupOutcome copy = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(copy.ok()) << copy.message;
    AddBills(3);
    const std::string eight = Bytes(path_);

    const RestoreOutcome first = RestoreBackup(copy.path, path_, kNow);
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.replaced_path, path_ + ".replaced-2026-12-07-093000");
    EXPECT_EQ(Bytes(first.replaced_path), eight);
    EXPECT_EQ(Query(path_, "select count(*) from bills"), "5");
    const HealthCheck health = CheckStoreHealth(path_);
    EXPECT_TRUE(health.sound) << health.what;
    EXPECT_EQ(health.chain.bills, 5);
    // The console bills on in the restored store, sealed after its last bill.
    AddBills(1);
    EXPECT_EQ(CheckStoreHealth(path_).chain.Text(), "6 bills, chain intact");

    // Again at the same second: a name of its own, the first one kept as it was.
    const RestoreOutcome second = RestoreBackup(copy.path, path_, kNow);
    ASSERT_TRUE(second.ok) << second.message;
    EXPECT_EQ(second.replaced_path, path_ + ".replaced-2026-12-07-093000.2");
    EXPECT_EQ(Bytes(first.replaced_path), eight);
    EXPECT_EQ(Query(second.replaced_path, "select count(*) from bills"), "6");

    // No store at all: the copy is put in place, nothing set aside.
    for (const auto& name : FilesBeside()) fs::remove(path_ + name);
    const RestoreOutcome onto_nothing = RestoreBackup(copy.path, path_, kNow);
    EXPECT_TRUE(onto_nothing.ok) << onto_nothing.message;
    EXPECT_EQ(onto_nothing.replaced_path, "");
    EXPECT_TRUE(CheckStoreHealth(path_).sound);
}

#ifndef _WIN32
// A store whose last bills are still in its -wal (the console stopped without closing it): the
// -wal goes aside with it, so the store set aside still holds them.
TEST_F(BackupFixture, RestoreSetsAsideTheWriteAheadLogWithItsStore) {
    MakeStore(2, 4);
    const BackupOutcome copy = MakeBackup(path_, folder_, kNow);
    ASSERT_TRUE(copy.ok()) << copy.message;
    const pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        sqlite3_exec(db, "pragma wal_autocheckpoint=0; insert into bills(operator) values('late')",
                     nullptr, nullptr, nullptr);
        _exit(0);  // no close: the bill stays in the -wal
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(fs::file_size(path_ + "-wal"), 0u);
    const RestoreOutcome restored = RestoreBackup(copy.path, path_, kNow);
    ASSERT_TRUE(restored.ok) << restored.message;
    EXPECT_FALSE(fs::exists(path_ + "-wal"));
    EXPECT_EQ(Query(restored.replaced_path, "select operator from bills where id_bill=5"), "late");
    EXPECT_EQ(Query(path_, "select count(*) from bills"), "4");
}
#endif

TEST_F(BackupFixture, StartUpCheckNamesWhatIsWrong) {
    MakeStore(2, 3);
    EXPECT_TRUE(CheckStoreHealth(path_).sound);
    const HealthCheck missing = CheckStoreHealth(path_ + ".missing");
    EXPECT_FALSE(missing.found);
    EXPECT_FALSE(fs::exists(path_ + ".missing")) << "a check never makes a file";
    Query(path_, "delete from bills where id_bill=2");
    const HealthCheck changed = CheckStoreHealth(path_);
    EXPECT_TRUE(changed.found);
    EXPECT_FALSE(changed.sound);
    EXPECT_EQ(changed.what.rfind("the seals do not hold: bill 2 was removed", 0), 0u)
        << changed.what;
    Overwrite(path_, 0, "garbage");
    const HealthCheck garbage = CheckStoreHealth(path_);
    EXPECT_TRUE(garbage.found);
    EXPECT_FALSE(garbage.sound);
    EXPECT_EQ(garbage.what.rfind("the file is damaged", 0), 0u) << garbage.what;
    EXPECT_EQ(NewestGoodBackup(folder_), std::nullopt);
}

#ifdef TLX_BILLSDB
// The tool's exit status: 0 when done and sound, 1 when refused or failed, 2 for bad arguments.
TEST_F(BackupFixture, ToolExitStatus) {
    MakeStore(2, 3);
    auto run = [&](const std::string& args) {
        const int status =
            std::system((std::string(TLX_BILLSDB) + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string store = "'" + path_ + "'", copy = path_ + ".copy";
    const std::string csv = folder_ + "/csv";
    const std::vector<std::pair<std::string, int>> cases = {
        {"backup " + store + " '" + folder_ + "'", 0},
        {"backup " + store + " '" + copy + "'", 0},
        {"backup " + store + " '" + copy + "'", 1},  // never over a file
        {"backup '" + path_ + ".gone' '" + folder_ + "'", 1},
        {"verify '" + copy + "'", 0},
        {"restore '" + copy + "' " + store, 0},
        {"restore '" + path_ + ".gone' " + store, 1},
        {"export " + store + " --from 2026-12-07 --to 2026-12-07 --out '" + csv + "'", 0},
        {"export " + store + " --from 2026-12-07 --to 2026-12-07 --out '" + csv +
             "' --decimal , --separator tab",
         0},
        {"export " + store + " --from 2026-12-07 --to 2026-12-32 --out '" + csv + "'", 2},
        {"export " + store + " --from 2026-12-07 --out '" + csv + "'", 2},
        {"export " + store + " --from 2026-12-07 --to 2026-12-07 --out '" + csv + "' --sep ';'", 2},
        {"export " + store + " --from 2026-12-07 --to 2026-12-07 --to 2026-12-08 --out x", 2},
        {"export '" + path_ + ".gone' --from 2026-12-07 --to 2026-12-07 --out '" + csv + "'", 1},
        {"backup " + store, 2},
        {"restore", 2},
    };
    for (const auto& [args, status] : cases) EXPECT_EQ(run(args), status) << args;
    EXPECT_EQ(FilesIn(folder_).size(), 1u);
    EXPECT_EQ(FilesIn(csv), (std::vector<std::string>{"bills.csv", "calls.csv"}));
    EXPECT_NE(Bytes(csv + "/bills.csv").find("\t2026-12-07 09:00:03\t"), std::string::npos);
    // A damaged page fails the check even where no bill lies.
    Overwrite(copy, 2 * 4096, std::string(4096, 'U'));
    EXPECT_EQ(run("verify '" + copy + "'"), 1);
}
#endif

TEST(BackupNames, OnlyTheExactFormNamesABackup) {
    EXPECT_EQ(BackupName({2026, 3, 4, 5, 6, 7}), "bills-2026-03-04-050607.mdb");
    EXPECT_EQ(BackupTime("bills-2026-03-04-050607.mdb"), (LocalTime{2026, 3, 4, 5, 6, 7}));
    for (const char* name : {"bills-2026-03-04-050607.mdb.partial", "bills-2026-3-04-050607.mdb",
                             "bills-2026-02-29-050607.mdb", "bills-2026-03-04-250607.mdb",
                             "Bills-2026-03-04-050607.mdb", "bills-2026-03-04-05060x.mdb",
                             "bills-2026-03-04_050607.mdb", "bills.mdb"}) {
        EXPECT_FALSE(BackupTime(name)) << name;
    }
    EXPECT_EQ(fs::path(DefaultBackupFolder("/shop/bills.mdb")), fs::path("/shop/Backups"));
}

}  // namespace
}  // namespace tlx::billing
