#include "core/billing/print_outcome.h"

#include <algorithm>
#include <array>

#include "core/billing/layout.h"

namespace tlx::billing {
namespace {

constexpr std::array<std::pair<PrintResult, std::string_view>, 5> kWords = {{
    {PrintResult::kFailed, "failed"},
    {PrintResult::kSent, "sent"},
    {PrintResult::kPrinted, "printed"},
    {PrintResult::kError, "error"},
    {PrintResult::kNotConfirmed, "sent, not confirmed"},
}};

// What the spooler says stopped the job, strongest first: the stored reason, and what the
// printer is said to have done in the operator's message.
struct Trouble {
    std::uint32_t bits;
    std::string_view reason, predicate;
};
constexpr std::array<Trouble, 6> kTroubles = {{
    {kJobPaperOut, "out of paper", "is out of paper"},
    {kJobOffline, "offline", "is offline"},
    {kJobUserIntervention, "needs attention", "needs attention: look at the printer"},
    {kJobDeleted | kJobDeleting, "job deleted", "lost the job: it was deleted from the queue"},
    {kJobBlocked, "job blocked", "cannot print the job: its driver blocked it"},
    {kJobError, "printer error", "reported an error"},
}};

const Trouble* TroubleOf(std::uint32_t bits) {
    for (const Trouble& t : kTroubles) {
        if (bits & t.bits) return &t;
    }
    return nullptr;
}

constexpr std::string_view kLeftQueue = "the job left the queue without a final status";

}  // namespace

std::string_view OutcomeWord(PrintResult result) {
    for (const auto& [r, word] : kWords) {
        if (r == result) return word;
    }
    return "failed";
}

std::optional<PrintResult> ResultOfWord(std::string_view word) {
    for (const auto& [r, w] : kWords) {
        if (w == word) return r;
    }
    return std::nullopt;
}

PrintOutcome PrintAndHandOver(const Bill& bill, ReportPrinter& printer,
                              const std::function<SpoolerJob()>& where, std::string printed_at) {
    PrintOutcome out;
    out.bill_id = bill.id;
    out.printed_at = std::move(printed_at);
    out.result = PrintResult::kSent;
    try {
        LayoutBill(bill, printer);
    } catch (const PrintFailure& failure) {
        out.result = PrintResult::kFailed;
        out.reason = failure.what;
    }
    if (where) {
        SpoolerJob job = where();
        out.printer = std::move(job.printer);
        out.job_id = job.job_id;
    }
    return out;
}

PrintOutcome FollowJob(SpoolerPort& port, PrintOutcome sent, const SteadyClock& now,
                       std::chrono::milliseconds limit) {
    using namespace std::chrono;
    const SteadyClock clock = now ? now : SteadyClock(steady_clock::now);
    const auto end = clock() + limit;
    sent.result = PrintResult::kSent;
    for (;;) {
        const std::optional<JobStatus> status = port.ReadJob(sent.job_id);
        if (!status) {
            sent.result = PrintResult::kNotConfirmed;
            sent.reason = kLeftQueue;
            return sent;
        }
        if (status->bits & kJobPrinted) {
            sent.result = PrintResult::kPrinted;
            sent.reason.clear();
            return sent;
        }
        if (const Trouble* trouble = TroubleOf(status->bits)) {
            sent.result = PrintResult::kError;
            sent.reason = trouble->reason;
            if (!status->text.empty()) sent.reason += " (" + status->text + ")";
            return sent;
        }
        const auto left = duration_cast<milliseconds>(end - clock());
        // Still queued: the spooler took it, and that is all it told.
        if (left.count() <= 0 || !port.WaitForChange(std::min(left, milliseconds(1000)))) {
            sent.reason = left.count() <= 0 ? "still in the queue when following it ended"
                                            : "still in the queue when the console closed";
            return sent;
        }
    }
}

std::string OutcomeMessage(const PrintOutcome& outcome) {
    const std::string bill = "Bill " + std::to_string(outcome.bill_id);
    const std::string printer = "The printer '" + outcome.printer + "'";
    std::string text;
    if (outcome.result == PrintResult::kError) {
        const Trouble* trouble = nullptr;
        for (const Trouble& t : kTroubles) {
            if (!trouble && outcome.reason.rfind(t.reason, 0) == 0) trouble = &t;
        }
        text = printer + " " +
               (trouble ? std::string(trouble->predicate) +
                              outcome.reason.substr(trouble->reason.size())
                        : "reported " + outcome.reason) +
               ".";
    } else if (outcome.result == PrintResult::kFailed) {
        text = outcome.printer.empty()
                   ? bill + " was not printed: " + outcome.reason + "."
                   : printer + " did not print bill " + std::to_string(outcome.bill_id) + ": " +
                         outcome.reason + ".";
    } else {
        return {};  // the spooler has the job: nothing to tell the operator
    }
    if (outcome.bill_id != 0)
        text += " " + bill + " is stored; print it again from the Bills page.";
    return text;
}

std::string OutcomeLine(const PrintOutcome& outcome) {
    // Minutes are enough to tell one print from another at the counter.
    std::string line = "Last print: " + outcome.printed_at.substr(0, 16);
    if (!outcome.printer.empty()) line += " on '" + outcome.printer + "'";
    line += ": " + std::string(OutcomeWord(outcome.result));
    if (NeedsReprint(outcome.result) && !outcome.reason.empty()) {
        line += " (" + outcome.reason + ")";
    }
    return line;
}

}  // namespace tlx::billing

namespace tlx::billing {

std::string PrintAgainMessage(const std::vector<std::int64_t>& bills) {
    if (bills.empty()) return {};
    constexpr std::size_t kNamed = 20;  // a day of bad paper is not read out bill by bill
    std::string list;
    for (std::size_t i = 0; i < bills.size() && i < kNamed; ++i) {
        if (i != 0) list += i + 1 == bills.size() ? " and " : ", ";
        list += std::to_string(bills[i]);
    }
    if (bills.size() > kNamed) list += " and " + std::to_string(bills.size() - kNamed) + " more";
    return bills.size() == 1
               ? "The last print of bill " + list +
                     " failed in the last 24 hours. Print it again from the Bills page."
               : "The last print of bills " + list +
                     " failed in the last 24 hours. Print them again from the Bills page.";
}

}  // namespace tlx::billing
