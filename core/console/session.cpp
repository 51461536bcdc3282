#include "core/console/session.h"

#include <array>

#include "core/link/fields.h"

namespace tlx::console {

std::optional<SessionEvent> EventFromMessage(const link::ServerMessage& message) {
    std::string text = message.Text();
    switch (message.type) {
        case link::kCallDialEvent: {
            std::string key = link::NextField(text);
            return SessionEvent{EventKind::kDial, std::move(key), std::move(text)};
        }
        case link::kCallConnectedEvent:
            return SessionEvent{EventKind::kConnected, std::move(text), {}};
        case link::kCallFinishedEvent:
            return SessionEvent{EventKind::kFinished, std::move(text), {}};
        case link::kCallRejectedEvent:
            return SessionEvent{EventKind::kRejected, std::move(text), {}};
        default:
            return std::nullopt;
    }
}

namespace {

class Session {
  public:
    Session(SessionLink& link, link::MessageFramer& framer, SessionSink& sink,
            const SessionClock& clock)
        : link_(link), framer_(framer), sink_(sink), clock_(clock), keep_alive_(0) {}

    void Run() {
        if (!WaitForStart()) return;
        keep_alive_ = KeepAliveTimer(clock_.now_seconds());
        std::array<std::uint8_t, link::kRecordSize> buffer{};
        for (;;) {
            while (auto message = framer_.Next()) {
                if (!Handle(*message)) return;
            }
            const ReadResult r = link_.Read(buffer, kSessionWaitSeconds);
            switch (r.kind) {
                case ReadResult::Kind::kData:
                    framer_.Feed(std::span<const std::uint8_t>(buffer.data(), r.bytes));
                    break;
                case ReadResult::Kind::kTimedOut:
                    if (sink_.Closing()) return;
                    SendKeepAlive();
                    break;
                case ReadResult::Kind::kClosed:
                case ReadResult::Kind::kFailed:
                    if (!sink_.Closing()) sink_.ConnectionLost();
                    return;
            }
        }
    }

  private:
    // The pause before reading, cut short when the console closes meanwhile.
    bool WaitForStart() {
        for (int waited = 0; waited < kSessionStartDelayMs; waited += 100) {
            if (sink_.Closing()) return false;
            clock_.sleep_ms(100);
        }
        return !sink_.Closing();
    }

    void SendKeepAlive() {
        link_.SendKeepAlive();
        keep_alive_.Sent(clock_.now_seconds());
    }

    bool Handle(const link::ServerMessage& message) {
        if (keep_alive_.DueBeforeMessage(clock_.now_seconds())) SendKeepAlive();
        const auto event = EventFromMessage(message);
        if (!event) return true;
        while (!sink_.Deliver(*event)) {
            if (sink_.Closing()) return false;
            clock_.sleep_ms(kDeliveryRetryMs);
        }
        return true;
    }

    SessionLink& link_;
    link::MessageFramer& framer_;
    SessionSink& sink_;
    const SessionClock& clock_;
    KeepAliveTimer keep_alive_;
};

}  // namespace

void RunSession(SessionLink& link, link::MessageFramer& framer, SessionSink& sink,
                const SessionClock& clock) {
    Session(link, framer, sink, clock).Run();
}

}  // namespace tlx::console
