#include "console/bills/print_follower.h"

#include <winspool.h>

#include <algorithm>
#include <optional>
#include <string>

#include "win32/text.h"

namespace tlx::console {
namespace {

namespace billing = tlx::billing;

void ClosePrinterHandle(HANDLE h) {
    ClosePrinter(h);
}
void CloseChangeHandle(HANDLE h) {
    FindClosePrinterChangeNotification(h);
}
using UniquePrinter = tlx::win32::Unique<HANDLE, ClosePrinterHandle>;
using UniqueChange = tlx::win32::Unique<HANDLE, CloseChangeHandle, -1>;

// The spooler's status bits are the core's, one for one.
static_assert(billing::kJobPaperOut == JOB_STATUS_PAPEROUT &&
              billing::kJobOffline == JOB_STATUS_OFFLINE &&
              billing::kJobPrinted == JOB_STATUS_PRINTED &&
              billing::kJobDeleted == JOB_STATUS_DELETED &&
              billing::kJobDeleting == JOB_STATUS_DELETING &&
              billing::kJobUserIntervention == JOB_STATUS_USER_INTERVENTION &&
              billing::kJobBlocked == JOB_STATUS_BLOCKED_DEVQ &&
              billing::kJobError == JOB_STATUS_ERROR &&
              billing::kJobComplete == JOB_STATUS_COMPLETE);

// One printer's queue through the spooler's own calls.
class SpoolerQueue : public billing::SpoolerPort {
  public:
    SpoolerQueue(const std::string& printer, HANDLE stop) : stop_(stop) {
        std::wstring name = tlx::win32::WideFromAnsi(printer);
        HANDLE h = nullptr;
        if (OpenPrinterW(name.data(), &h, nullptr)) printer_.Reset(h);
        if (printer_) {
            // Not every spooler has them: without one the queue is looked at every second.
            change_.Reset(
                FindFirstPrinterChangeNotification(printer_.Get(), PRINTER_CHANGE_JOB, 0, nullptr));
        }
    }
    bool open() const { return static_cast<bool>(printer_); }

    std::optional<billing::JobStatus> ReadJob(std::uint32_t job_id) override {
        DWORD needed = 0;
        GetJobW(printer_.Get(), job_id, 1, nullptr, 0, &needed);
        if (needed == 0) return std::nullopt;  // the queue no longer knows the job
        std::vector<BYTE> buffer(needed);
        if (!GetJobW(printer_.Get(), job_id, 1, buffer.data(), needed, &needed)) {
            return std::nullopt;
        }
        const auto& info = *reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
        billing::JobStatus status{info.Status, {}};
        if (info.pStatus) status.text = tlx::win32::AnsiFromWide(info.pStatus);
        return status;
    }

    bool WaitForChange(std::chrono::milliseconds most) override {
        const HANDLE handles[] = {stop_, change_.Get()};
        const DWORD count = change_ ? 2 : 1;
        const DWORD woke =
            WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(most.count()));
        if (woke == WAIT_OBJECT_0 + 1) {
            DWORD what = 0;
            FindNextPrinterChangeNotification(change_.Get(), &what, nullptr, nullptr);
        }
        return woke != WAIT_OBJECT_0 && woke != WAIT_FAILED;
    }

  private:
    HANDLE stop_;
    UniquePrinter printer_;
    UniqueChange change_;
};

}  // namespace

PrintFollower::PrintFollower() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

PrintFollower::~PrintFollower() {
    if (stop_) SetEvent(stop_.Get());
    for (Following& f : following_) {
        if (f.thread.joinable()) f.thread.join();
    }
}

void PrintFollower::Follow(std::int64_t outcome_id, billing::PrintOutcome sent) {
    JoinEnded();
    Following& f = following_.emplace_back();
    try {
        f.thread = std::thread(&PrintFollower::Run, this, outcome_id, std::move(sent), std::ref(f));
    } catch (const std::system_error&) {
        following_.pop_back();  // no thread to spare: the print stays "sent"
    }
}

void PrintFollower::Run(std::int64_t outcome_id, billing::PrintOutcome sent,
                        Following& self) noexcept {
    billing::PrintOutcome outcome = sent;
    try {
        SpoolerQueue queue(sent.printer, stop_.Get());
        if (queue.open()) {
            outcome = billing::FollowJob(queue, std::move(sent));
        } else {
            std::string why = tlx::win32::LastErrorText(GetLastError());
            while (!why.empty() && why.back() == '.') why.pop_back();
            outcome.reason = "the printer's queue could not be read (" + why + ")";
        }
    } catch (...) {
        outcome.reason = "the job could not be followed";
    }
    try {
        const std::lock_guard lock(mutex_);
        finished_.push_back({outcome_id, std::move(outcome)});
    } catch (...) {
        // Out of memory: the print stays "sent".
    }
    if (window_) PostMessageW(window_, message_, 0, 0);
    self.done = true;
}

std::vector<PrintFollower::Finished> PrintFollower::TakeFinished() {
    JoinEnded();
    const std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
}

void PrintFollower::JoinEnded() {
    following_.remove_if([](Following& f) {
        if (!f.done) return false;
        f.thread.join();
        return true;
    });
}

}  // namespace tlx::console
