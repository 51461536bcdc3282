// Closing the day on real stores: the X figures of a known shop day worked out by hand, the Z
// close's numbering, its all-or-nothing transaction and its seal under the store's check.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <tuple>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "core/billing/bill_rates.h"
#include "core/billing/day_close.h"
#include "core/billing/day_report.h"
#include "core/billing/ledger.h"
#include "tests/unit/billing/recording_printer.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

class DayCloseTest : public TempStore {
  protected:
    DayCloseTest() { Sql(std::string(LedgerSchema()), true); }
    ~DayCloseTest() override { sqlite3_close(db_); }

    // A bill of the given calls (cost, tax), its totals their sums, stored and sealed.
    std::int64_t Store(std::vector<std::pair<double, double>> calls, double cost = 0,
                       double tax = 0) {
        BillsStore store;
        EXPECT_TRUE(store.Open(path_));
        Bill b = Sample(0);
        b.operator_name = "Jürgen Ødegård";
        for (auto [c, t] : calls) {
            b.calls.push_back({"0049 30", "10:00:00", "60", c, c + t, c, t});
            cost += c, tax += t;
        }
        b.total_cost = cost, b.total_tax = tax, b.total_cost_with_tax = cost + tax;
        store.StoreBill(b, reporter_);
        return b.id;
    }
    void Void(std::int64_t id) {
        BillsStore store;
        ASSERT_TRUE(store.Open(path_));
        ASSERT_NE(store.VoidBill(id, "Zoë", "wrong booth", {2026, 12, 7, 10, 0, 0}).void_id, 0);
    }
    sqlite3* Db() {
        if (!db_) sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        return db_;
    }
    CloseOutcome Close(Cents counted, Cents next_float, const std::function<void()>& hook = {}) {
        return CloseDay(Db(), {"Zoë", "till short", "2026-12-07 22:00:00", counted, next_float},
                        hook);
    }
    sqlite3* db_ = nullptr;
};

TEST_F(DayCloseTest, FiguresOfAKnownDayAndTheNextOne) {
    const auto a = Store({{10.00, 2.00}, {5.00, 0.35}});  // 20 % and 7 %
    Store({}, 1.50, 0.30);                                // no calls
    const auto c = Store({{0.29, 0.06}});                 // 20.69 % as stored
    Void(a);                                              // in the same period
    auto x = CurrentFigures(Db(), "2026-12-07 21:00:00");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->bills, 3);
    EXPECT_EQ(x->voids, 1);
    EXPECT_EQ(x->first_bill, a);
    EXPECT_EQ(x->last_bill, 4);
    EXPECT_EQ(x->start, "2026-12-07 09:00:03");
    EXPECT_EQ(x->total_cost, 1000 + 500 + 150 + 29);
    EXPECT_EQ(x->total_tax, 200 + 35 + 30 + 6);
    EXPECT_EQ(x->total_with_tax, 1679 + 271);
    EXPECT_EQ(x->void_total, -1735);
    EXPECT_EQ(x->net_total, 1950 - 1735);
    EXPECT_EQ(x->expected_cash, 215);
    const std::vector<RateFigures> rates = {{700, 500, 35, 535},
                                            {2000, 1000, 200, 1200},
                                            {2069, 29, 6, 35},
                                            {std::nullopt, 150, 30, 180}};
    EXPECT_EQ(x->rates, rates);
#ifndef _WIN32  // an open file cannot be moved there
    // Read by this connection alone when no second reader can open the file (gone meanwhile).
    const std::string moved = path_ + ".moved";
    ASSERT_EQ(std::rename(path_.c_str(), moved.c_str()), 0);
    EXPECT_EQ(CurrentFigures(Db(), "2026-12-07 21:00:00"), x);
    ASSERT_EQ(std::rename(moved.c_str(), path_.c_str()), 0);
#endif
    // Calls moved out of their written order are still all counted.
    const std::string move = "update calls set id_call=-id_call where id_bill=" + std::to_string(c);
    Sql(move);
    EXPECT_EQ(CurrentFigures(Db(), "2026-12-07 21:00:00"), x);
    Sql(move);

    const DayClose z1 = Close(200, 5000).close;
    ASSERT_EQ(z1.number, 1);
    EXPECT_EQ(z1.difference, -15);
    // The void of an earlier period's bill counts where it was made.
    Void(c);
    Store({{2.00, 0.40}});
    x = CurrentFigures(Db(), "2026-12-08 21:00:00");
    ASSERT_TRUE(x);
    EXPECT_EQ(std::tie(x->after_bill, x->first_bill, x->last_bill, x->bills, x->voids),
              std::make_tuple(std::int64_t{4}, std::int64_t{5}, std::int64_t{6}, std::int64_t{1},
                              std::int64_t{1}));
    EXPECT_EQ(x->start, "2026-12-07 22:00:00");
    EXPECT_EQ(std::tie(x->void_total, x->net_total, x->opening_float, x->expected_cash),
              std::make_tuple(Cents{-35}, Cents{205}, Cents{5000}, Cents{5205}));
    EXPECT_EQ(x->rates, (std::vector<RateFigures>{{2000, 200, 40, 240}}));
}

// A store upgraded in the middle of a period: its older bills are read by their calls, the
// newer by their rate summaries, and the figures are those of the calls alone.
TEST_F(DayCloseTest, APeriodAcrossTheUpgradeHasTheFiguresOfItsCalls) {
    Sql("drop table bill_rates; update store_edition set version=3");
    const auto a = Store({{10.00, 2.00}, {5.00, 0.35}});
    Store({}, 1.50, 0.30);
    Store({{0.29, 0.06}});
    ASSERT_EQ(UpgradeStore(path_).kind, UpgradeOutcome::Kind::kUpgraded);
    Void(a);  // a summarized void of a bill without a summary
    const auto d = Store({{2.00, 0.40}, {0.03, 0.01}, {1.00, 0.20}});
    Store({}, 1.00, 0.20);
    ASSERT_EQ(FirstSummarizedBill(Db()), 4);
    const auto x = CurrentFigures(Db(), "2026-12-07 21:00:00");
    ASSERT_TRUE(x);
    Sql("create table keep as select * from bill_rates; delete from bill_rates");
    EXPECT_EQ(CurrentFigures(Db(), "2026-12-07 21:00:00"), x) << "read from the calls alone";
    EXPECT_EQ(x->rates, (std::vector<RateFigures>{{700, 500, 35, 535},
                                                  {2000, 1300, 260, 1560},
                                                  {2069, 29, 6, 35},
                                                  {3333, 3, 1, 4},
                                                  {std::nullopt, 250, 50, 300}}));
    const std::string bill = "bill " + std::to_string(d);
    for (const auto& [change, named] : std::vector<std::pair<std::string, std::string>>{
             {"delete from bill_rates where id_bill=" + std::to_string(d),
              ""},  // as an older console writes it: read from its calls
             {"delete from bill_rates where rate_hundredths=3333",
              bill + "'s rate summary does not match its calls"},
             {"update bill_rates set cost_cents=cost_cents+1 where id_bill=" + std::to_string(d),
              bill + "'s rate summary does not match its calls"},
             {"update bill_rates set rate_hundredths=2100 where rate_hundredths=3333",
              bill + "'s rate summary does not match its calls"},
             {"insert into bill_rates values(99, 99, 2000, 1, 0, 1)",
              "bill 99 has a rate summary but is not in the store"},
             {"update bill_rates set id_bill_rate=-id_bill_rate where id_bill=" + std::to_string(d),
              ""}}) {  // moved, not changed
        Sql("delete from bill_rates; insert into bill_rates select * from keep; " + change);
        EXPECT_EQ(VerifyChain(Db()).what, named) << change;
    }
    // A bill lacking its summary, or summaries moved out of their written order: the whole
    // period is read from its calls.
    for (const std::string& change :
         {std::string("delete from bill_rates where id_bill="),
          std::string("update bill_rates set id_bill_rate=-id_bill_rate "
                      "where id_bill=")}) {
        Sql("delete from bill_rates; insert into bill_rates select * from keep; " + change +
            std::to_string(d));
        EXPECT_EQ(CurrentFigures(Db(), "2026-12-07 21:00:00"), x) << change;
    }
    Sql("delete from bill_rates; insert into bill_rates select * from keep; drop table keep");
    EXPECT_TRUE(VerifyChain(Db()).intact);
    // A summary changed behind the console's back is never sealed: the close reads the calls.
    Sql("update bill_rates set cost_cents=cost_cents+100 where id_bill=" + std::to_string(d));
    EXPECT_EQ(Close(0, 0).close.figures.rates, x->rates);
    Sql("delete from day_close_rates; delete from day_closes; update bill_rates set "
        "cost_cents=cost_cents-100 where id_bill=" +
        std::to_string(d));

    // A summary that cannot be written: neither the bill nor the void is stored.
    Sql("create trigger f before insert on bill_rates begin select raise(abort,'full'); end");
    const std::string before = Sql("select count(*) from bills; select count(*) from calls");
    BillsStore store;
    ASSERT_TRUE(store.Open(path_));
    std::string reported;
    Bill b = Sample(2);
    store.StoreBill(b, [&](const std::string& e) { reported += e; });
    EXPECT_EQ(b.id, 0);
    EXPECT_NE(reported.find("full"), std::string::npos) << reported;
    EXPECT_NE(store.VoidBill(d, "Zoë", "wrong booth", {2026, 12, 7, 11, 0, 0}).refusal.find("full"),
              std::string::npos);
    EXPECT_EQ(Sql("select count(*) from bills; select count(*) from calls"), before);
}

TEST_F(DayCloseTest, NumberingSurvivesRestartsAndTheChainNamesAnAlteredClose) {
    Store({{1.00, 0.20}});
    const DayClose z1 = Close(120, 1000).close;
    sqlite3_close(db_);
    db_ = nullptr;  // the console started again
    Store({{3.00, 0.60}});
    const DayClose z2 = Close(1360, 1000).close;
    ASSERT_EQ(std::make_pair(z1.number, z2.number),
              std::make_pair(std::int64_t{1}, std::int64_t{2}));
    EXPECT_EQ(z2.figures.after_bill, z1.figures.last_bill);
    EXPECT_EQ(z2.figures.opening_float, 1000);
    const auto read = ReadClose(Db(), 1);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->figures, z1.figures);
    EXPECT_EQ(read->seal, z1.seal);
    EXPECT_EQ(CloseHistory(Db()).size(), 2u);
    EXPECT_TRUE(VerifyChain(Db()).intact);
    // A restored older store: the numbers it lacks, then numbering from its own last.
    EXPECT_EQ(MissingCloses(Db(), 4), (std::vector<std::int64_t>{3, 4}));
    EXPECT_EQ(Close(0, 0).close.number, 3);
#ifdef TLX_BILLSDB
    // The store's tool reads what the console stored; an unknown close or number is refused.
    auto tool = [&](const std::string& args) {
        FILE* pipe = popen(
            (std::string(TLX_BILLSDB) + " report '" + path_ + "' " + args + " 2>&1").c_str(), "r");
        std::string out(4096, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        const int status = pclose(pipe);
        return std::make_pair(WEXITSTATUS(status), out);
    };
    EXPECT_NE(tool("--z 2 --json")
                  .second.find("\"number\":2,\"operator\":\"Zo\u00eb\",\"counted_cash_cents\":1360,"
                               "\"difference_cents\":0,"),
              std::string::npos);
    EXPECT_NE(tool("--x").second.find("\nExpected cash     0.00\n"), std::string::npos);
    EXPECT_EQ(tool("--z 9").first, 1);
    EXPECT_EQ(tool("--z 2x").first, 2);
#endif
}

TEST_F(DayCloseTest, EachAlterationIsNamed) {
    Store({{1.00, 0.20}});
    Close(120, 0);
    Store({{3.00, 0.60}});
    Close(360, 0);
    const std::string before = Query(path_, "select hex(seal) from day_closes where number=2");
    for (const auto& [change, named] : std::vector<std::pair<std::string, std::string>>{
             {"update day_closes set counted_cash_cents=99999 where number=2",
              "day close 2 was changed"},
             {"update day_close_rates set cost_cents=1 where number=2", "day close 2 was changed"},
             {"update day_closes set note='x' where number=1", "day close 1 was changed"},
             {"delete from day_closes where number=1", "day close 1 was removed"}}) {
        Sql("drop table if exists keep; create table keep as select * from day_closes; "
            "create table keep_rates as select * from day_close_rates; " +
            change);
        const ChainCheck check = VerifyChain(Db());
        EXPECT_NE(check.what.find(named), std::string::npos) << change << ": " << check.what;
        Sql("delete from day_closes; insert into day_closes select * from keep; drop table keep;"
            "delete from day_close_rates; insert into day_close_rates select * from keep_rates;"
            "drop table keep_rates;");
        ASSERT_TRUE(VerifyChain(Db()).intact) << "restored after: " << change;
    }
    EXPECT_EQ(Query(path_, "select hex(seal) from day_closes where number=2"), before);
}

TEST_F(DayCloseTest, AFailedOrKilledCloseLeavesNothing) {
    Store({{1.00, 0.20}});
    const std::string empty =
        Sql("select count(*) from day_closes; select count(*) from day_close_rates");
    // Refusals at each write, and a store locked by another program.
    for (const char* fault :
         {"create trigger f before insert on day_close_rates begin select raise(abort,'full'); end",
          "create trigger f before update on day_closes begin select raise(abort,'full'); end",
          "create trigger f before insert on day_closes begin select raise(abort,'full'); end"}) {
        Sql(fault);
        const CloseOutcome out = Close(120, 0);
        EXPECT_EQ(out.close.number, 0) << fault;
        EXPECT_NE(out.error.find("full"), std::string::npos) << fault;
        Sql("drop trigger f");
        EXPECT_EQ(Sql("select count(*) from day_closes; select count(*) from day_close_rates"),
                  empty);
    }
    sqlite3* other = nullptr;
    sqlite3_open(path_.c_str(), &other);
    sqlite3_exec(other, "begin immediate", nullptr, nullptr, nullptr);
    EXPECT_EQ(Close(120, 0).close.number, 0);
    sqlite3_close(other);
#ifndef _WIN32
    // The power cut: the process ends with everything written but the commit.
    sqlite3_close(db_);
    db_ = nullptr;
    const pid_t child = fork();
    if (child == 0) {
        Close(120, 0, [] { kill(getpid(), SIGKILL); });
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Sql("select count(*) from day_closes; select count(*) from day_close_rates"), empty);
    EXPECT_TRUE(VerifyChain(Db()).intact);
#endif
    EXPECT_EQ(Close(120, 0).close.number, 1);
}

TEST(DayReport, AmountsAndLines) {
    for (const auto& [text, cents] :
         std::vector<std::pair<std::string, std::optional<Cents>>>{{"61,5", 6150},
                                                                   {" 12.34 ", 1234},
                                                                   {"-0.05", -5},
                                                                   {"7", 700},
                                                                   {"1.234", {}},
                                                                   {"", {}},
                                                                   {"1.", {}},
                                                                   {"abc", {}},
                                                                   {"1e3", {}},
                                                                   {".5", 50}}) {
        EXPECT_EQ(ParseCents(text), cents) << text;
        if (cents) {
            EXPECT_EQ(ParseCents(FormatCents(*cents)), cents) << text;
        }
    }
    // A stored amount becomes cents exactly as llround would have it, halves and all.
    std::mt19937_64 random(7);
    std::vector<double> stored = {0.125, -0.125, 1.005, -2.675, 1e13, -4e13, 1e300, 0.0, -0.0};
    // Below a half by its last bit: some C libraries' llround (Wine's) make them 1 and -1.
    EXPECT_EQ(CentsOf(0.004999999999999999), 0);
    EXPECT_EQ(CentsOf(-0.004999999999999999), 0);
    for (int i = 0; i < 100000; ++i) {
        stored.push_back(std::uniform_real_distribution<double>(-1e6, 1e6)(random));
        stored.push_back(static_cast<double>(static_cast<int>(random() % 2000001) - 1000000) / 200);
    }
    for (const double v : stored) ASSERT_EQ(CentsOf(v), std::llround(v * 100.0)) << v;
    DayClose z;
    z.number = 7;
    z.operator_name = "Zoë";
    z.closed_at = z.figures.end = "2026-12-07 22:00:00";
    z.figures.start = "2026-12-07 08:00:00";
    z.figures.rates = {{2000, 1000, 200, 1200}, {std::nullopt, 5, 1, 6}};
    z.difference = -50;
    ReportWords words;
    words.words[kWordDifference] = "Differenz";
    const auto lines = ZReportLines(z, words);
    for (const char* line :
         {"Z report - day close 7", "Operator: Zoë",
          "Period: 07/12/26 08:00:00 - 07/12/26 22:00:00", "Tax rate 20.00 %: 10.00 + 2.00 = 12.00",
          "No calls: 0.05 + 0.01 = 0.06", "Differenz     -0.50"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    RecordingPrinter printer;
    LayoutReport(lines, false, printer);
    EXPECT_EQ(printer.texts, lines);
    EXPECT_EQ(printer.calls.back(), "FinishDocument");
}

}  // namespace
}  // namespace tlx::billing
