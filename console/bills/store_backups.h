// Backups of the bills store, made off the window thread: at start-up (at most once a day) and
// after a day close. The outcome comes back to the window thread as a posted message; a failed
// backup is told once per start, in plain words, and never stops billing.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "core/console/store_recovery.h"
#include "win32/window.h"

namespace tlx::console {

// The local time now, as bills and backups name it.
tlx::billing::LocalTime LocalNow();

class StoreBackups : private tlx::win32::Wnd {
  public:
    StoreBackups() = default;
    ~StoreBackups() override;

    // Window thread. Paths in UTF-8; an empty folder means "Backups" beside the store, made
    // when missing (a folder the settings name is never made: a missing stick is told). Removes
    // what a failed backup left, then backs up when none was made today.
    void Start(const std::string& store_path, const std::string& folder);
    // After a day close: a backup even when one was made today. Nothing before Start.
    void BackUpAfterDayClose();
    // Waits for the backup under way and drops the ones not begun. Window thread.
    void Stop();

  private:
    enum class Request { kAtStart, kAfterDayClose };
    void Ask(Request request);
    void Work() noexcept;
    tlx::billing::BackupOutcome Run(Request request) const;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    std::string store_path_, folder_;
    bool default_folder_ = false;
    BackupNotices notices_;  // window thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> requests_;
    bool stopping_ = false;
    HWND target_ = nullptr;  // the window outcomes are posted to, for the worker
    std::thread worker_;
};

}  // namespace tlx::console
