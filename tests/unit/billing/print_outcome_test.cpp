// What became of a print: a fake spooler's sequences followed to their word, the hand-over's
// failures, the operator's sentences, and the outcomes stored per bill.
#include "core/billing/print_outcome.h"

#include <gtest/gtest.h>

#include <deque>
#include <tuple>

#include "tests/unit/billing/recording_printer.h"
#include "tests/unit/billing/temp_store.h"

namespace tlx::billing {
namespace {

using namespace std::chrono_literals;

// Answers each read with the next status of its script (the last one stays); waiting moves the
// fake clock on by what was asked, or stops following once `stop_after` waits are used.
class FakeSpooler : public SpoolerPort {
  public:
    explicit FakeSpooler(std::deque<std::optional<JobStatus>> script)
        : script_(std::move(script)) {}
    std::optional<JobStatus> ReadJob(std::uint32_t job) override {
        EXPECT_EQ(job, 7u);
        ++reads;
        auto status = script_.front();
        if (script_.size() > 1) script_.pop_front();
        return status;
    }
    bool WaitForChange(std::chrono::milliseconds most) override {
        now += most;
        return --stop_after != 0;
    }
    std::chrono::steady_clock::time_point now{};
    int reads = 0, stop_after = -1;

  private:
    std::deque<std::optional<JobStatus>> script_;
};

PrintOutcome Sent() {
    return {42, "2026-12-07 22:10:31", "EPSON TM-T20", 7, PrintResult::kSent, ""};
}

TEST(FollowJob, SpoolerSequencesEndInTheirWord) {
    const std::optional<JobStatus> gone;
    const JobStatus printing{kJobPrinting, ""};
    const std::string left = "the job left the queue without a final status";
    const std::tuple<std::deque<std::optional<JobStatus>>, PrintResult, std::string> cases[] = {
        {{printing, JobStatus{kJobPrinted, ""}}, PrintResult::kPrinted, ""},
        {{printing, JobStatus{kJobPaperOut | kJobError, ""}}, PrintResult::kError, "out of paper"},
        {{JobStatus{kJobOffline, "Tray 2 jammed"}}, PrintResult::kError, "offline (Tray 2 jammed)"},
        {{printing, JobStatus{kJobDeleting, ""}}, PrintResult::kError, "job deleted"},
        {{printing, JobStatus{kJobComplete, ""}, gone}, PrintResult::kNotConfirmed, left},
        {{gone}, PrintResult::kNotConfirmed, left},  // as under Wine: gone before the first look
        {{JobStatus{kJobPaused, ""}},
         PrintResult::kSent,
         "still in the queue when following it ended"},
    };
    for (const auto& [script, result, reason] : cases) {
        FakeSpooler spooler(script);
        const PrintOutcome out = FollowJob(
            spooler, Sent(), [&] { return spooler.now; }, 2min);
        EXPECT_EQ(out.result, result) << reason;
        EXPECT_EQ(out.reason, reason);
        EXPECT_EQ(out.printer + std::to_string(out.bill_id), "EPSON TM-T2042");
        // Looked at about once a second, never past the limit.
        EXPECT_LE(spooler.now.time_since_epoch(), 2min) << reason;
        EXPECT_LE(spooler.reads, 121) << reason;
    }
    FakeSpooler closing({JobStatus{kJobPrinting, ""}});
    closing.stop_after = 3;
    const PrintOutcome out = FollowJob(closing, Sent(), [&] { return closing.now; });
    EXPECT_EQ(out.result, PrintResult::kSent);
    EXPECT_EQ(out.reason, "still in the queue when the console closed");
    EXPECT_EQ(closing.reads, 3);
}

// A printer that fails at one of its calls as GDI would, with the job it was given.
class FailingPrinter : public RecordingPrinter {
  public:
    std::string fail_at, why;
    void BeginDocument() override { Check("begin"); }
    void EndDocument() override { Check("end"); }

  private:
    void Check(const std::string& at) {
        if (at == fail_at) throw PrintFailure{why};
    }
};

TEST(PrintAndHandOver, FailuresKeepThePlatformsReason) {
    Bill bill;
    bill.id = 42;
    struct Case {
        std::string fail_at, why;
        SpoolerJob job;
        PrintResult result;
    } cases[] = {
        {"begin", "no printer is set up on this computer", {}, PrintResult::kFailed},
        {"begin",
         "the print job could not start (Access is denied)",
         {"EPSON", 0},
         PrintResult::kFailed},
        {"end",
         "the print job could not be finished (The device is not ready)",
         {"EPSON", 9},
         PrintResult::kFailed},
        {"", "", {"EPSON", 9}, PrintResult::kSent},
    };
    for (const auto& c : cases) {
        FailingPrinter printer;
        printer.fail_at = c.fail_at;
        printer.why = c.why;
        const PrintOutcome out = PrintAndHandOver(
            bill, printer, [&] { return c.job; }, "2026-12-07 22:10:31");
        EXPECT_EQ(out.result, c.result) << c.why;
        EXPECT_EQ(out.reason, c.why);
        EXPECT_EQ(out.printer + std::to_string(out.job_id),
                  c.job.printer + std::to_string(c.job.job_id));
    }
}

TEST(PrintOutcome, TheOperatorsWords) {
    PrintOutcome o = Sent();
    o.result = PrintResult::kError;
    o.reason = "out of paper";
    EXPECT_EQ(OutcomeMessage(o),
              "The printer 'EPSON TM-T20' is out of paper. Bill 42 is stored; "
              "print it again from the Bills page.");
    o.result = PrintResult::kFailed;
    o.reason = "the print job could not start (Access is denied)";
    EXPECT_EQ(OutcomeMessage(o),
              "The printer 'EPSON TM-T20' did not print bill 42: the print job could not start "
              "(Access is denied). Bill 42 is stored; print it again from the Bills page.");
    EXPECT_EQ(OutcomeLine(o),
              "Last print: 2026-12-07 22:10 on 'EPSON TM-T20': failed (the print "
              "job could not start (Access is denied))");
    o.result = PrintResult::kNotConfirmed;
    EXPECT_EQ(OutcomeMessage(o), "");
    EXPECT_EQ(OutcomeLine(o),
              "Last print: 2026-12-07 22:10 on 'EPSON TM-T20': sent, not confirmed");
    o = {0, "2026-12-07 22:10:31", "", 0, PrintResult::kFailed, "no printer"};
    EXPECT_EQ(OutcomeLine(o), "Last print: 2026-12-07 22:10: failed (no printer)");
    o = {0, "", "P", 0, PrintResult::kError, "offline (Tray 2 jammed)"};  // a bill not stored
    EXPECT_EQ(OutcomeMessage(o), "The printer 'P' is offline (Tray 2 jammed).");

    EXPECT_EQ(PrintAgainMessage({}), "");
    EXPECT_EQ(PrintAgainMessage({5}),
              "The last print of bill 5 failed in the last 24 hours. Print "
              "it again from the Bills page.");
    std::vector<std::int64_t> many(23, 1);
    many[0] = 3;
    EXPECT_EQ(PrintAgainMessage({3, 4, 9}).substr(0, 37), "The last print of bills 3, 4 and 9 fa");
    EXPECT_NE(PrintAgainMessage(many).find("1, 1 and 3 more failed"), std::string::npos);
}

class Outcomes : public TempStore {
  protected:
    void SetUp() override {
        Sql(std::string(LedgerSchema()), true);
        ASSERT_TRUE(store_.Open(path_)) << ErrorList(store_.errors());
    }
    std::int64_t Print(std::int64_t bill, PrintResult result, std::string at,
                       std::string printer = "HP") {
        return store_.StoreOutcome({bill, std::move(at), std::move(printer), 3, result, "why"});
    }
    BillsStore store_{{[](std::string_view t) { return "<" + std::string(t) + ">"; },
                       [](std::string_view t) { return std::string(t.substr(1, t.size() - 2)); }}};
};

// The newest print of each bill counts; texts cross the store's codec both ways.
TEST_F(Outcomes, StoredPerBillTheLastCounts) {
    EXPECT_FALSE(store_.LastOutcome(1));
    EXPECT_GT(Print(1, PrintResult::kFailed, "2026-12-06 09:00:00", ""), 0);
    Print(2, PrintResult::kError, "2026-12-07 09:00:00");
    const auto sent = Print(1, PrintResult::kSent, "2026-12-07 10:00:00");
    Print(3, PrintResult::kFailed, "2026-12-07 11:00:00");
    Print(4, PrintResult::kFailed, "2026-12-05 11:00:00");
    EXPECT_EQ(Sql("select id_bill, printer, job_id, outcome from print_outcomes where id_outcome=" +
                  std::to_string(sent)),
              "1|<HP>|3|sent\n");
    EXPECT_EQ(store_.BillsToPrintAgain(), (std::vector<std::int64_t>{2, 3, 4}));
    EXPECT_EQ(store_.BillsToPrintAgain("2026-12-06 12:00:00"), (std::vector<std::int64_t>{2, 3}));

    ASSERT_TRUE(store_.SettleOutcome(sent, PrintResult::kError, "out of paper"));
    const auto last = store_.LastOutcome(1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->result, PrintResult::kError);
    EXPECT_EQ(last->reason, "out of paper");
    EXPECT_EQ(last->printer, "HP");
    EXPECT_EQ(last->printed_at, "2026-12-07 10:00:00");
    EXPECT_EQ(last->job_id, 3u);
    EXPECT_EQ(store_.BillsToPrintAgain(), (std::vector<std::int64_t>{1, 2, 3, 4}));
    Print(3, PrintResult::kNotConfirmed, "2026-12-07 12:00:00");
    EXPECT_EQ(store_.BillsToPrintAgain(), (std::vector<std::int64_t>{1, 2, 4}));
}

// A store that refuses the row or the update says so; a store before the upgrade, or none,
// records nothing and says nothing (the start-up said it).
TEST_F(Outcomes, RefusalsAreReported) {
    Sql("create trigger full before insert on print_outcomes begin select raise(abort, 'disk "
        "full'); end; create trigger stuck before update on print_outcomes begin select "
        "raise(abort, 'disk full'); end;");
    ASSERT_TRUE(store_.Open(path_));
    EXPECT_EQ(Print(1, PrintResult::kSent, "2026-12-07 10:00:00"), 0);
    EXPECT_NE(ErrorList(store_.errors()).find("disk full"), std::string::npos);
    Sql("drop trigger full; insert into print_outcomes(id_bill, outcome) values (1, 'sent')");
    EXPECT_FALSE(store_.SettleOutcome(1, PrintResult::kPrinted, ""));
    EXPECT_NE(ErrorList(store_.errors()).find("disk full"), std::string::npos);
    Sql("drop trigger stuck");
    EXPECT_FALSE(store_.SettleOutcome(99, PrintResult::kPrinted, ""));
    EXPECT_NE(ErrorList(store_.errors()).find("no print outcome 99"), std::string::npos);
    EXPECT_EQ(Sql("select outcome from print_outcomes"), "sent\n");

    Sql("drop table print_outcomes; update store_edition set version=2");
    ASSERT_TRUE(store_.Open(path_));
    EXPECT_EQ(Print(1, PrintResult::kSent, "2026-12-07 10:00:00"), 0);
    EXPECT_TRUE(store_.errors().empty());
    EXPECT_FALSE(store_.LastOutcome(1));
    EXPECT_TRUE(store_.BillsToPrintAgain().empty());
    store_.Close();
    EXPECT_EQ(Print(1, PrintResult::kSent, "2026-12-07 10:00:00"), 0);
    EXPECT_FALSE(store_.SettleOutcome(1, PrintResult::kPrinted, ""));
    EXPECT_TRUE(store_.errors().empty());
}

}  // namespace
}  // namespace tlx::billing
