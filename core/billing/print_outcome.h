// What became of a bill's print: the spooler's word on the job, followed for a bounded time
// after the job was handed over, and the sentence the operator reads about it. The spooler only
// knows what the printer's port tells it: many ports never say "printed", and a job that
// leaves the queue without a final status is "sent, not confirmed", not "printed".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/billing/bill.h"
#include "core/billing/report_printer.h"

namespace tlx::billing {

enum class PrintResult {
    kFailed,        // no printer, or the job could not start or end
    kSent,          // the spooler took the job; nothing more was learnt while it was followed
    kPrinted,       // the spooler reported it printed
    kError,         // the spooler reported paper out, offline, attention needed, deleted
    kNotConfirmed,  // the job left the queue without a final status
};

// The stored word: "failed", "sent", "printed", "error", "sent, not confirmed".
std::string_view OutcomeWord(PrintResult result);
std::optional<PrintResult> ResultOfWord(std::string_view word);
// Failed or ended in error: the bill still needs printing.
inline bool NeedsReprint(PrintResult result) {
    return result == PrintResult::kFailed || result == PrintResult::kError;
}

// One print of a bill, as stored in print_outcomes.
struct PrintOutcome {
    std::int64_t bill_id = 0;
    std::string printed_at;  // local time, as issued_date is stored
    std::string printer;     // the printer's name; empty when there was none
    std::uint32_t job_id = 0;
    PrintResult result = PrintResult::kFailed;
    std::string reason;  // plain words; empty when there is nothing to say
};

// A job's status bits, as the spooler reports them (the values of JOB_STATUS_*).
enum JobStatusBit : std::uint32_t {
    kJobPaused = 0x1,
    kJobError = 0x2,
    kJobDeleting = 0x4,
    kJobSpooling = 0x8,
    kJobPrinting = 0x10,
    kJobOffline = 0x20,
    kJobPaperOut = 0x40,
    kJobPrinted = 0x80,
    kJobDeleted = 0x100,
    kJobBlocked = 0x200,
    kJobUserIntervention = 0x400,
    kJobRestart = 0x800,
    kJobComplete = 0x1000,
};

struct JobStatus {
    std::uint32_t bits = 0;
    std::string text;  // the driver's own words, if it gave any
};

// The print queue of one printer, as the job follower needs it.
class SpoolerPort {
  public:
    virtual ~SpoolerPort() = default;
    // The job's status now; nullopt once the job is no longer in the queue.
    virtual std::optional<JobStatus> ReadJob(std::uint32_t job_id) = 0;
    // Returns when the queue may have changed, or after `most`; false when following must
    // stop now (the console is closing).
    virtual bool WaitForChange(std::chrono::milliseconds most) = 0;
};

// Where a printed document went: the printer's name (empty: none) and the spooler's job id
// (0: none was given).
struct SpoolerJob {
    std::string printer;
    std::uint32_t job_id = 0;
};
// Lays `bill` out on `printer` and says what the hand-over gave: sent, with the job `where`
// tells (asked once the print has ended, well or not), or failed with the printer's reason.
PrintOutcome PrintAndHandOver(const Bill& bill, ReportPrinter& printer,
                              const std::function<SpoolerJob()>& where, std::string printed_at);

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;
inline constexpr std::chrono::minutes kFollowLimit{2};

// Follows `job_id` from the moment StartDoc gave it until a final word or `limit`: printed,
// error (with which one), sent, not confirmed, or sent when the job was still queued at the
// end. `sent` carries the bill, time and printer; the result and reason are filled in.
PrintOutcome FollowJob(SpoolerPort& port, PrintOutcome sent, const SteadyClock& now = {},
                       std::chrono::milliseconds limit = kFollowLimit);

// The operator's words. A failed or erroneous print names the printer and the reason, and
// whether the bill is stored (a bill with an id is): "The printer 'EPSON TM-T20' is out of
// paper. Bill 42 is stored; print it again from the Bills page." Empty for a print the
// spooler has.
std::string OutcomeMessage(const PrintOutcome& outcome);
// The line under the Bills page's grids:
// "Last print: YYYY-MM-DD HH:MM on '<printer>': <word>", a failure's or error's reason after it.
std::string OutcomeLine(const PrintOutcome& outcome);
// Said once at start-up: the bills of the last day whose last print failed (none: empty).
std::string PrintAgainMessage(const std::vector<std::int64_t>& bills);

}  // namespace tlx::billing
