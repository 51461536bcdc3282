// The session's worker thread: the only reader and writer of the server connection while
// the session runs. It hands call events to the main window through an event relay.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/link/framer.h"

namespace tlx::console {

// Carries the main window's messages (console/messages.h) from the worker thread to the
// user-interface thread in bulk: one posted wake-up for whatever has piled up, where a post per
// call event cost two trips to the window server and capped a busy shop's rate. On the
// user-interface thread each message is sent to the target in the order pushed, in slices short
// enough that the operator's input and the paints come between them. A loss report is posted
// once every event before it has been applied, as the main window has always received it.
class EventRelay {
  public:
    EventRelay() = default;
    ~EventRelay();
    EventRelay(const EventRelay&) = delete;
    EventRelay& operator=(const EventRelay&) = delete;

    // On the user-interface thread, before the first Push: the window the messages go to.
    bool Open(HWND target);
    // From any thread; the strings go to the target. False (a full relay, or no way to wake
    // the user-interface thread): nothing was taken, and the caller tries again later.
    bool Push(UINT msg, std::unique_ptr<std::string> first,
              std::unique_ptr<std::string> second = nullptr);
    // On the user-interface thread: hands on what has piled up, for about `slice_ms` at most.
    void Deliver(DWORD slice_ms);

    // Messages waiting, hard limit: at that many the worker waits, as for a full queue.
    static constexpr std::size_t kLimit = 50000;

  private:
    struct Item {
        UINT msg;
        std::unique_ptr<std::string> first, second;
    };
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void HandOn(Item item) const;

    HWND target_ = nullptr;
    HWND window_ = nullptr;  // message-only, on the user-interface thread
    std::mutex mutex_;
    std::deque<Item> pushed_;   // guarded by mutex_
    bool wake_posted_ = false;  // guarded by mutex_: a wake-up is queued or a delivery runs
    std::deque<Item> taken_;    // user-interface thread only
};

class ReceiverThread {
  public:
    ReceiverThread() = default;
    ~ReceiverThread() { Join(); }
    ReceiverThread(const ReceiverThread&) = delete;
    ReceiverThread& operator=(const ReceiverThread&) = delete;

    // `framer` may already hold messages that arrived with the booth list. On the main
    // window's thread.
    void Start(HWND main_window, const std::atomic<bool>* closing, tlx::link::MessageFramer framer);
    // Waits, without a time limit, until the thread has ended.
    void Join();

  private:
    std::thread thread_;
    std::unique_ptr<EventRelay> relay_;  // outlives every session's thread
};

}  // namespace tlx::console
