// The bills store's second edition on real files: the upgrade of a first-edition store (rows
// untouched, a copy first, all or nothing), voids, and the seals' chain against changes made
// behind the store's back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#ifndef _WIN32
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "core/billing/columns.h"
#include "core/billing/ledger.h"
#include "core/billing/store.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

namespace fs = std::filesystem;

class Ledger : public TempStore {
  protected:
    // Every row of every table as text, in key order: types and exact values (reals by bits).
    static std::string Dump(const std::string& path, const std::string& tables = "") {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        std::ostringstream out;
        std::vector<std::string> names;
        auto each = [&](const std::string& sql, auto&& row) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
            while (s && sqlite3_step(s) == SQLITE_ROW) row(s);
            sqlite3_finalize(s);
        };
        each("select name, sql from sqlite_schema where name not like 'sqlite_%' order by name",
             [&](sqlite3_stmt* s) {
                 if (tables.empty()) out << sqlite3_column_text(s, 1) << "\n";
                 if (sqlite3_column_text(s, 1) &&
                     std::strncmp(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                                  "CREATE TABLE", 12) == 0) {
                     names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
                 }
             });
        for (const auto& name : names) {
            if (!tables.empty() && tables.find(name) == std::string::npos) continue;
            each("select * from " + name + " order by 1", [&](sqlite3_stmt* s) {
                for (int i = 0; i < sqlite3_column_count(s); ++i) {
                    const int type = sqlite3_column_type(s, i);
                    out << type << ':';
                    if (type == SQLITE_FLOAT) {
                        const double v = sqlite3_column_double(s, i);
                        std::uint64_t bits;
                        std::memcpy(&bits, &v, 8);
                        out << bits;
                    } else if (type != SQLITE_NULL) {
                        out << std::string(static_cast<const char*>(sqlite3_column_blob(s, i)),
                                           sqlite3_column_bytes(s, i));
                    }
                    out << '|';
                }
                out << '\n';
            });
        }
        sqlite3_close(db);
        return out.str();
    }
    // Runs sql on the store; the first value of the last row as text.
    std::string Sql(const std::string& sql) { return Query(path_, sql); }
    // A store of the given edition with `bills` bills: one with two calls, then calls 0,1,...
    void Make(int edition, int bills) {
        Sql(std::string(StoreSchema()) +
            (edition >= 2 ? ";" + std::string(LedgerSchema()) : std::string()));
        BillsStore store;
        ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
        for (int i = 0; i < bills; ++i) {
            Bill b = Sample(i == 0 ? 2 : i % 3, i);
            store.StoreBill(b, [](const std::string& e) { ADD_FAILURE() << e; });
            ASSERT_EQ(b.id, i + 1);
        }
    }
    int Edition() {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        const int edition = StoreEdition(db);
        sqlite3_close(db);
        return edition;
    }
    std::string Verify() {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        const ChainCheck check = VerifyChain(db);
        sqlite3_close(db);
        return check.intact ? check.Text() : std::to_string(check.first_bad_id) + " " + check.what;
    }
};

// --- Upgrade ---------------------------------------------------------------------------------

TEST_F(Ledger, UpgradeSealsEveryBillAndChangesNoRow) {
    Make(1, 4);
    Sql("update calls set destination='Zürich' where id_call=1");
    const std::string before = Dump(path_);
    EXPECT_EQ(Edition(), 1);

    const UpgradeOutcome up = UpgradeStore(path_);
    ASSERT_EQ(up.kind, UpgradeOutcome::Kind::kUpgraded) << up.message;
    EXPECT_EQ(up.sealed, 4);
    EXPECT_EQ(up.copy_path, path_ + ".before-upgrade");
    EXPECT_EQ(Dump(path_, "bills calls"), Dump(up.copy_path, "bills calls"));
    EXPECT_EQ(Dump(up.copy_path), before) << "the copy is the store as it was";
    EXPECT_EQ(Sql("select group_concat(id_bill||'<'||previous_id||':'||length(seal), ' ') from "
                  "(select * from bill_seals order by id_bill)"),
              "1<0:32 2<1:32 3<2:32 4<3:32");
    EXPECT_EQ(Edition(), kCurrentEdition);
    EXPECT_EQ(Verify(), "4 bills, chain intact");

    // Current already: nothing done, no second copy.
    EXPECT_EQ(UpgradeStore(path_).kind, UpgradeOutcome::Kind::kCurrent);
    EXPECT_FALSE(fs::exists(path_ + ".before-upgrade.2"));

    // Another first-edition store in the same place: the first copy is never overwritten.
    const std::string first_copy = Dump(up.copy_path);
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(path_ + end);
    Make(1, 1);
    const UpgradeOutcome again = UpgradeStore(path_);
    EXPECT_EQ(again.copy_path, path_ + ".before-upgrade.2");
    EXPECT_EQ(Dump(up.copy_path), first_copy);
    EXPECT_EQ(Verify(), "1 bills, chain intact");

    // A sealed store of the second edition only gains the later tables: no copy, no row
    // changed, the chain as it was.
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(path_ + end);
    Sql(std::string(StoreSchema()) + ";" + SchemaOf(2));
    {
        BillsStore store;
        ASSERT_TRUE(store.Open(path_)) << ErrorList(store.errors());
        Bill b = Sample(2, 0);
        store.StoreBill(b, [](const std::string& e) { ADD_FAILURE() << e; });
    }
    const std::string sealed = Dump(path_, "bills calls bill_seals bill_voids");
    const UpgradeOutcome third = UpgradeStore(path_);
    ASSERT_EQ(third.kind, UpgradeOutcome::Kind::kUpgraded) << third.message;
    EXPECT_TRUE(third.copy_path.empty());
    EXPECT_EQ(Edition(), kCurrentEdition);
    EXPECT_EQ(
        Sql("select (select count(*) from print_outcomes) + (select count(*) from bill_rates)"),
        "0");
    EXPECT_EQ(Dump(path_, "bills calls bill_seals bill_voids"), sealed);
    EXPECT_EQ(Verify(), "1 bills, chain intact");
}

TEST_F(Ledger, UpgradeThatCannotWriteLeavesTheStoreAsItWas) {
    Make(1, 3);
    const std::string before = Dump(path_);
    {  // another program holds the write lock
        sqlite3* other = nullptr;
        sqlite3_open(path_.c_str(), &other);
        sqlite3_exec(other, "begin immediate", nullptr, nullptr, nullptr);
        const UpgradeOutcome up = UpgradeStore(path_, 20);
        EXPECT_EQ(up.kind, UpgradeOutcome::Kind::kFailed);
        EXPECT_NE(up.message.find("locked"), std::string::npos) << up.message;
        EXPECT_NE(up.message.find("used as before"), std::string::npos) << up.message;
        EXPECT_FALSE(fs::exists(path_ + ".before-upgrade")) << "no copy without the lock";
        sqlite3_close(other);
    }
    EXPECT_EQ(Dump(path_), before);

    // Not a store, or none at all: nothing to upgrade, and the store's own messages speak.
    EXPECT_EQ(UpgradeStore(path_ + ".missing").kind, UpgradeOutcome::Kind::kNoStore);
    EXPECT_FALSE(fs::exists(path_ + ".missing"));
    EXPECT_TRUE(CheckStoreAtStartup(path_ + ".missing").message.empty());
    // Tables named like ours with other columns: a foreign file, neither copied nor changed.
    const std::string foreign = path_ + ".journal";
    sqlite3* f = nullptr;
    sqlite3_open(foreign.c_str(), &f);
    sqlite3_exec(f, "create table bills(x); create table calls(y); insert into bills values(1)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(f);
    const std::string untouched = Dump(foreign);
    EXPECT_EQ(UpgradeStore(foreign).kind, UpgradeOutcome::Kind::kNoStore);
    EXPECT_EQ(Dump(foreign), untouched);
    EXPECT_FALSE(fs::exists(foreign + ".before-upgrade"));
}

#ifndef _WIN32
// The disk fills while the seals are written: the transaction fails as a whole, the copy stays.
TEST_F(Ledger, UpgradeOnAFullDiskLeavesTheStoreAsItWas) {
    Make(1, 1);
    Sql("with recursive n(i) as (select 1 union all select i+1 from n where i<3000) "
        "insert into bills(issued_date,operator,cabin_number,total_cost,total_taxes,"
        "total_cost_taxes) select '2026-12-07 10:00:00','Anna','Booth 1',1.5,0.3,1.8 from n;"
        "pragma journal_mode=delete");  // the seals then land in the file itself at commit
    const std::string before = Dump(path_);
    const auto size = fs::file_size(path_);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{size + 8192, size + 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(static_cast<int>(UpgradeStore(path_).kind));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(UpgradeOutcome::Kind::kFailed));
    EXPECT_EQ(Dump(path_), before);
    EXPECT_EQ(Dump(path_ + ".before-upgrade"), before);
    EXPECT_EQ(UpgradeStore(path_).kind, UpgradeOutcome::Kind::kUpgraded) << "room again";
    EXPECT_EQ(Verify(), "3001 bills, chain intact");
}

// A field as the README writes it: tag, then 8 bytes big-endian, or a 4-byte length and bytes.
std::string Field(char tag, std::uint64_t v, const std::string& text = "") {
    std::string out(1, tag);
    const int bytes = tag == 'T' ? 4 : 8;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
    return out + text;
}
std::string I(std::int64_t v) {
    return Field('I', static_cast<std::uint64_t>(v));
}
std::string R(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return Field('R', bits);
}
std::string T(const std::string& v) {
    return Field('T', v.size(), v);
}
std::string OpensslSha256(const std::string& data) {
    unsigned char digest[32];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<char*>(digest), size);
}
std::string HexOf(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}

// The documented canonical form, written out by hand for two bills and a void.
TEST_F(Ledger, SealIsTheDocumentedCanonicalForm) {
    Make(2, 2);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    ASSERT_EQ(store.VoidBill(2, "Ben", "wrong booth", {2026, 12, 8, 18, 2, 0}).void_id, 3);
    const std::string booth = T("Booth €1"), zoe = T("Zoë"),
                      call = T("0044 20") + T("10:00:00") + T("125") + R(1.2);
    const std::string seal1 =
        OpensslSha256(std::string(32, '\0') + "B" + I(1) + T("2026-12-07 09:00:03") + zoe + booth +
                      R(5.0) + R(1.0) + R(6.0) + "C" + I(1) + I(1) + call + R(0.5) + R(2.5) +
                      R(3.0) + "C" + I(2) + I(1) + call + R(0.5) + R(2.5) + R(3.0));
    const std::string seal2 =
        OpensslSha256(seal1 + "B" + I(2) + T("2026-12-07 09:01:03") + zoe + booth + R(2.5) +
                      R(0.5) + R(3.0) + "C" + I(3) + I(2) + call + R(0.5) + R(2.5) + R(3.0));
    const std::string seal3 =
        OpensslSha256(seal2 + "B" + I(3) + T("2026-12-08 18:02:00") + T("Ben") + booth + R(-2.5) +
                      R(-0.5) + R(-3.0) + "C" + I(4) + I(3) + call + R(-0.5) + R(-2.5) + R(-3.0) +
                      "V" + I(2) + I(3) + T("Ben") + T("2026-12-08 18:02:00") + T("wrong booth"));
    EXPECT_EQ(Sql("select group_concat(lower(hex(seal)), ' ') from (select seal from bill_seals "
                  "order by id_bill)"),
              HexOf(seal1) + " " + HexOf(seal2) + " " + HexOf(seal3));
}
#endif

// The platform's SHA-256 against the standard's own examples (also the Windows build's CNG).
TEST(Sha256, KnownAnswers) {
    EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// --- Voids -----------------------------------------------------------------------------------

TEST_F(Ledger, VoidNegatesEveryAmountAndLinksTheOriginal) {
    Make(2, 2);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    const VoidOutcome v = store.VoidBill(1, "Ben", "wrong booth", {2026, 12, 8, 18, 2, 0});
    ASSERT_EQ(v.void_id, 3) << v.refusal;
    EXPECT_EQ(v.refusal, "");
    EXPECT_EQ(Sql("select issued_date||'|'||operator||'|'||cabin_number||'|'||total_cost||'|'||"
                  "total_taxes||'|'||total_cost_taxes from bills where id_bill=3"),
              "2026-12-08 18:02:00|Ben|Booth €1|-5.0|-1.0|-6.0");
    EXPECT_EQ(Sql("select group_concat(destination||'|'||end_date||'|'||duration||'|'||rate||'|'||"
                  "call_taxes||'|'||call_cost||'|'||call_cost_taxes, ' ') from (select * from "
                  "calls where id_bill=3 order by id_call)"),
              "0044 20|10:00:00|125|1.2|-0.5|-2.5|-3.0 0044 20|10:00:00|125|1.2|-0.5|-2.5|-3.0");
    // Counted as zero: original and void together.
    EXPECT_EQ(Sql("select sum(round(total_cost*100))||sum(round(total_taxes*100))||"
                  "sum(round(total_cost_taxes*100)) from bills where id_bill in (1,3)"),
              "0.00.00.0");
    EXPECT_EQ(Sql("select sum(round(call_taxes*100))||sum(round(call_cost*100))||"
                  "sum(round(call_cost_taxes*100)) from calls where id_bill in (1,3)"),
              "0.00.00.0");
    EXPECT_EQ(Sql("select id_original||'|'||id_void||'|'||operator||'|'||voided_at||'|'||reason "
                  "from bill_voids"),
              "1|3|Ben|2026-12-08 18:02:00|wrong booth");

    const BillState voided = store.StateOf(1), the_void = store.StateOf(3),
                    plain = store.StateOf(2);
    EXPECT_EQ(voided.kind, BillState::Kind::kVoided);
    EXPECT_EQ(voided.other_id, 3);
    EXPECT_EQ(voided.voided_at + "|" + voided.operator_name + "|" + voided.reason,
              "2026-12-08 18:02:00|Ben|wrong booth");
    EXPECT_EQ(the_void.kind, BillState::Kind::kVoid);
    EXPECT_EQ(the_void.other_id, 1);
    EXPECT_EQ(plain.kind, BillState::Kind::kNormal);
    EXPECT_EQ(store.VerifyChain().Text(), "3 bills, chain intact");
}

TEST_F(Ledger, VoidRefusalsSayWhyAndWriteNothing) {
    Make(2, 2);
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    const LocalTime now{2026, 12, 8, 18, 2, 0};
    ASSERT_EQ(store.VoidBill(1, "Ben", "wrong booth", now).void_id, 3);
    std::string euros;
    for (int i = 0; i < 200; ++i) euros += "€";
    const std::string before = Dump(path_);
    const struct {
        std::int64_t id;
        std::string reason, refusal;
    } cases[] = {
        {1, "again", "Bill 1 is already voided, by bill 3."},
        {3, "undo", "Bill 3 is the void of bill 1: a void cannot be voided."},
        {9, "typo", "Bill 9 is not in the store."},
        {2, "", "A void needs a reason."},
        {2, " \t ", "A void needs a reason."},
        {2, euros + "x", "The reason is too long: at most 200 characters."},
    };
    for (const auto& c : cases) {
        const VoidOutcome v = store.VoidBill(c.id, "Ben", c.reason, now);
        EXPECT_EQ(v.refusal, c.refusal) << c.id;
        EXPECT_EQ(v.void_id, 0) << c.id;
    }
    EXPECT_EQ(Dump(path_), before);
    EXPECT_EQ(store.VoidBill(2, "Ben", euros, now).void_id, 4) << "200 characters are enough";

    // A statement that fails halfway: nothing of the void stays, and the operator hears why.
    Bill fifth = Sample(1);
    store.StoreBill(fifth, {});
    ASSERT_EQ(fifth.id, 5);
    Sql("create trigger no_links before insert on bill_voids begin select raise(abort, "
        "'disk trouble'); end");
    const std::string with_trigger = Dump(path_, "bills calls bill_seals");
    const VoidOutcome failed = store.VoidBill(5, "Ben", "wrong booth", now);
    EXPECT_EQ(failed.void_id, 0);
    EXPECT_NE(failed.refusal.find("could not be stored:\nError number: "), std::string::npos);
    EXPECT_NE(failed.refusal.find("disk trouble"), std::string::npos);
    EXPECT_EQ(Dump(path_, "bills calls bill_seals"), with_trigger);

    // A first-edition store has no voids.
    store.Close();
    Remove();
    Make(1, 1);
    ASSERT_TRUE(store.Open(path_));
    EXPECT_EQ(store.VoidBill(1, "Ben", "wrong booth", now).refusal,
              "The bills store has not been upgraded: its bills cannot be voided.");
}

// A bill whose seal cannot be written is not stored at all: an unsealed bill would break the
// chain.
TEST_F(Ledger, BillWithoutItsSealIsNotStored) {
    Make(2, 1);
    Sql("create trigger no_seal before insert on bill_seals begin select raise(abort, 'no room'); "
        "end");
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    std::vector<std::string> reports;
    Bill b = Sample(2);
    store.StoreBill(b, [&](const std::string& e) { reports.push_back(e); });
    EXPECT_EQ(b.id, 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("no room"), std::string::npos) << reports[0];
    EXPECT_EQ(Sql("select count(*) from bills") + Sql("select count(*) from calls"), "12");
}

// --- The chain -------------------------------------------------------------------------------

TEST_F(Ledger, ChainNamesTheFirstBillChangedRemovedOrOutOfOrder) {
    const struct {
        const char* change;
        std::string found;
    } cases[] = {
        {"", "6 bills, chain intact"},
        {"insert into calls(id_bill,destination) values(0,'no bill')", "6 bills, chain intact"},
        {"update calls set id_bill=1 where id_call=5", "1 bill 1 was changed"},
        {"update bills set total_cost=9.5 where id_bill=3", "3 bill 3 was changed"},
        {"update calls set call_cost=0 where id_call=2", "1 bill 1 was changed"},
        {"update calls set id_bill=0 where id_call=2", "1 bill 1 was changed"},
        {"update bill_voids set reason='typo'", "6 bill 6 was changed"},
        {"update bills set cabin_number=null where id_bill=4", "4 bill 4 was changed"},
        {"delete from bills where id_bill=3", "3 bill 3 was removed: its seal is in the store"},
        {"delete from bills where id_bill=2; delete from bill_seals where id_bill=2",
         "2 bill 2 was removed with its seal: bill 3 was sealed after it"},
        {"insert into bills(issued_date,operator,cabin_number,total_cost,total_taxes,"
         "total_cost_taxes) values('2020-01-01 08:00:00','Eve','Booth 1',1,0.2,1.2)",
         "7 bill 7 has no seal"},
        {"update bill_seals set previous_id=1 where id_bill=4",
         "4 bill 4 is out of order: its seal follows bill 1, not bill 3"},
    };
    for (const auto& c : cases) {
        Remove();
        Make(2, 5);
        BillsStore store;
        ASSERT_TRUE(store.Open(path_));
        ASSERT_EQ(store.VoidBill(2, "Ben", "wrong booth", {2026, 12, 8, 18, 2, 0}).void_id, 6);
        store.Close();
        Sql(c.change);
        EXPECT_EQ(Verify().substr(0, c.found.size()), c.found) << c.change;
    }
}

// A bill sealed as a forger would, with an old date: named. A clock put back for winter time is
// not a fault.
TEST_F(Ledger, SealedBillDatedBeforeItsPredecessorIsOutOfOrder) {
    Make(2, 3);
    auto sealed = [&](const std::string& date) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        sqlite3_exec(db,
                     ("begin; insert into bills(issued_date,operator,cabin_number,total_cost,"
                      "total_taxes,total_cost_taxes) values('" +
                      date + "','Eve','Booth 1',1,0.2,1.2)")
                         .c_str(),
                     nullptr, nullptr, nullptr);
        EXPECT_EQ(SealNewestBill(db, sqlite3_last_insert_rowid(db)), SQLITE_OK);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    sealed("2026-12-07 08:10:00");  // an hour before bill 3 (09:02:03), less a little
    EXPECT_EQ(Verify(), "4 bills, chain intact");
    sealed("2026-12-07 07:00:00");
    EXPECT_EQ(Verify(),
              "5 bill 5 is out of order: dated 2026-12-07 07:00:00, before bill 4 (2026-12-07 "
              "08:10:00)");
}

// Two writers at once (a second console, a tool): SQLite serialises them, and each seal reads
// the one before it inside its own transaction.
TEST_F(Ledger, TwoWritersAtOnceKeepTheChain) {
    Make(2, 0);
    auto writer = [&] {
        BillsStore store;
        ASSERT_TRUE(store.Open(path_));
        for (int i = 0; i < 25; ++i) {
            Bill b = Sample(2, i);
            store.StoreBill(b, [](const std::string& e) { ADD_FAILURE() << e; });
        }
    };
    std::thread other(writer);
    writer();
    other.join();
    EXPECT_EQ(Verify(), "50 bills, chain intact");
}

TEST_F(Ledger, StartupCheckUpgradesThenSaysWhatIsWrongOnce) {
    ChainCheck stale;  // an earlier check's word is not taken for a store sealed just now
    stale.intact = false;
    Make(1, 0);
    EXPECT_EQ(CheckStoreAtStartup(path_, &stale).chain.Text(), "0 bills, chain intact");
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(path_ + end);
    Make(1, 2);
    StartupCheck first = CheckStoreAtStartup(path_, &stale);
    EXPECT_EQ(first.upgrade.kind, UpgradeOutcome::Kind::kUpgraded);
    EXPECT_TRUE(first.chain.intact);
    EXPECT_EQ(first.message, "");
    Sql("update calls set rate=9 where id_call=1");
    const StartupCheck second = CheckStoreAtStartup(path_);
    EXPECT_EQ(second.upgrade.kind, UpgradeOutcome::Kind::kCurrent);
    EXPECT_EQ(second.chain.first_bad_id, 1);
    EXPECT_EQ(second.message.rfind("The bills store's seals do not hold: bill 1 was changed", 0),
              0u)
        << second.message;
    // Nothing sealed: the check made just before stands, the chain is not walked twice.
    EXPECT_EQ(CheckStoreAtStartup(path_, &first.chain).chain.first_bad_id, 0);
}

#ifdef TLX_BILLSDB
// The tool's exit status: 0 only when the store is sound, upgraded or its chain holds.
TEST_F(Ledger, ToolExitStatus) {
    auto run = [&](const std::string& command, const std::string& file) {
        const int status = std::system(
            (std::string(TLX_BILLSDB) + " " + command + " '" + file + "' >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("create", path_), 0);
    EXPECT_EQ(run("verify", path_), 0);
    EXPECT_EQ(run("create", path_), 1) << "an existing file is never touched";
    Remove();
    Make(1, 2);
    EXPECT_EQ(run("verify", path_), 1) << "no seals yet";
    EXPECT_EQ(run("upgrade", path_), 0);
    EXPECT_EQ(run("upgrade", path_), 0);
    EXPECT_EQ(run("verify", path_), 0);
    Sql("delete from bills where id_bill=1");
    EXPECT_EQ(run("verify", path_), 1);
    EXPECT_EQ(run("upgrade", path_ + ".missing"), 1);
    EXPECT_EQ(run("verify", path_ + ".missing"), 1);
}
#endif

}  // namespace
}  // namespace tlx::billing
