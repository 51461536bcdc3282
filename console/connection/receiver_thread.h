// The session's worker thread: the only reader and writer of the server connection while
// the session runs. It hands call events to the main window as posted messages.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

#include "core/link/framer.h"

namespace tlx::console {

class ReceiverThread {
  public:
    ReceiverThread() = default;
    ~ReceiverThread() { Join(); }
    ReceiverThread(const ReceiverThread&) = delete;
    ReceiverThread& operator=(const ReceiverThread&) = delete;

    // `framer` may already hold messages that arrived with the booth list.
    void Start(HWND main_window, const std::atomic<bool>* closing, tlx::link::MessageFramer framer);
    // Waits, without a time limit, until the thread has ended.
    void Join();

  private:
    std::thread thread_;
};

}  // namespace tlx::console
