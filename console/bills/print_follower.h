// Follows the bills' print jobs in the spooler off the window's thread: one thread a job,
// each asking the printer's queue (GetJob, woken by the queue's change notification where the
// system gives one, else looking again every second) until the job's final word or the
// follower's time limit. Each finished job is kept for the window, which a posted message
// tells; the window then stores it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "core/billing/print_outcome.h"
#include "win32/handles.h"

namespace tlx::console {

class PrintFollower {
  public:
    PrintFollower();
    // Asks every following to stop and waits for them: their prints stay "sent".
    ~PrintFollower();
    PrintFollower(const PrintFollower&) = delete;
    PrintFollower& operator=(const PrintFollower&) = delete;

    // Where finished jobs are announced: `message` posted to `window`, no parameters.
    void Announce(HWND window, UINT message) {
        window_ = window;
        message_ = message;
    }
    // Follows the job of `sent` (its printer and job id), stored as `outcome_id`.
    void Follow(std::int64_t outcome_id, tlx::billing::PrintOutcome sent);

    struct Finished {
        std::int64_t outcome_id = 0;
        tlx::billing::PrintOutcome outcome;
    };
    // The jobs followed to their end since the last call.
    std::vector<Finished> TakeFinished();

  private:
    struct Following {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void Run(std::int64_t outcome_id, tlx::billing::PrintOutcome sent, Following& self) noexcept;
    void JoinEnded();

    tlx::win32::UniqueHandle stop_;  // set when the console closes
    HWND window_ = nullptr;
    UINT message_ = 0;
    std::mutex mutex_;
    std::vector<Finished> finished_;
    std::list<Following> following_;  // a list: each thread keeps its own element's address
};

}  // namespace tlx::console
