// The receiving side of a session: reads the server's messages, keeps the connection
// alive and hands every call event to the operator's side, without knowing about sockets,
// threads or windows (the console plugs those in).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/console/booths.h"
#include "core/link/framer.h"
#include "core/link/message.h"

namespace tlx::console {

inline constexpr int kSessionWaitSeconds = 20;     // one wait for a server message
inline constexpr int kKeepAliveAfterSeconds = 20;  // silence on our side before a keep-alive
inline constexpr int kSessionStartDelayMs = 2000;  // the server settles after the booth list
inline constexpr int kDeliveryRetryMs = 5;         // pause when the operator's queue is full

// When the next keep-alive is due, by whole seconds of the system clock. A clock set back
// makes the difference negative, which sends nothing.
class KeepAliveTimer {
  public:
    explicit KeepAliveTimer(std::int64_t now) : last_sent_(now) {}
    bool DueBeforeMessage(std::int64_t now) const {
        return now - last_sent_ > kKeepAliveAfterSeconds;
    }
    void Sent(std::int64_t now) { last_sent_ = now; }
    std::int64_t last_sent() const { return last_sent_; }

  private:
    std::int64_t last_sent_;
};

struct ReadResult {
    enum class Kind {
        kData,      // `bytes` bytes arrived
        kTimedOut,  // the wait ended with nothing to read
        kClosed,    // the server closed the connection in an orderly way
        kFailed,    // the wait or the read failed (also after we closed the socket)
    };
    Kind kind = Kind::kFailed;
    std::size_t bytes = 0;
};

class SessionLink {
  public:
    virtual ~SessionLink() = default;
    virtual ReadResult Read(std::span<std::uint8_t> buffer, int timeout_seconds) = 0;
    // The outcome is not looked at: a dead connection shows in the next read.
    virtual void SendKeepAlive() = 0;
};

struct SessionEvent {
    EventKind kind = EventKind::kDial;
    std::string first;  // dial: the booth key; others: the whole text
    std::string rest;   // dial: destination;description;rate
    friend bool operator==(const SessionEvent&, const SessionEvent&) = default;
};

class SessionSink {
  public:
    virtual ~SessionSink() = default;
    // False when the event could not be queued; the session waits a little and retries,
    // so a full queue slows the server's reading down instead of dropping calls.
    virtual bool Deliver(const SessionEvent& event) = 0;
    virtual void ConnectionLost() = 0;
    // True while the console itself is closing the connection.
    virtual bool Closing() const = 0;
};

struct SessionClock {
    std::function<std::int64_t()> now_seconds;
    std::function<void(int)> sleep_ms;
};

// Call events become session events; every other type (a second booth list too) is ignored.
std::optional<SessionEvent> EventFromMessage(const link::ServerMessage& message);

// Runs until the connection fails, the server closes it, or the console closes it. A loss
// the console did not cause is reported once through ConnectionLost. Messages already in
// `framer` (read together with the booth list) are handled first.
void RunSession(SessionLink& link, link::MessageFramer& framer, SessionSink& sink,
                const SessionClock& clock);

}  // namespace tlx::console
