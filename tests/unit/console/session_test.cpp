#include "core/console/session.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace tlx::console {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ReadResult::Kind;
using Events = std::vector<SessionEvent>;

// One scripted read: what arrives, and how many seconds the wait for it took.
struct ScriptedRead {
    Kind kind;
    Bytes bytes;
    int seconds = 0;
    bool console_closes_meanwhile = false;
};

// The server and the operator around one session, on a clock only the reads move.
struct Counter : SessionLink, SessionSink {
    std::deque<ScriptedRead> reads;
    std::int64_t now = 1000;
    std::vector<std::int64_t> keep_alives;  // clock at each keep-alive
    Events events;
    int lost = 0, reads_after_end = 0, slept_ms = 0, attempts = 0;
    int free_every = 0;       // only every n-th delivery finds room in the queue
    int close_after_ms = -1;  // the console closes once it has slept this long
    bool closing = false;
    link::MessageFramer framer{link::MessageFramer::Mode::kFullRecords};

    ReadResult Read(std::span<std::uint8_t> buffer, int timeout) override {
        EXPECT_EQ(timeout, 20);
        if (reads.empty()) {
            ++reads_after_end;
            return {Kind::kFailed, 0};
        }
        const ScriptedRead r = std::move(reads.front());
        reads.pop_front();
        now += r.seconds;
        closing |= r.console_closes_meanwhile;
        std::copy(r.bytes.begin(), r.bytes.end(), buffer.begin());  // at most a record each
        return {r.kind, r.bytes.size()};
    }
    void SendKeepAlive() override { keep_alives.push_back(now); }
    bool Deliver(const SessionEvent& e) override {
        if (free_every && ++attempts % free_every != 0) return false;
        events.push_back(e);
        return true;
    }
    void ConnectionLost() override { ++lost; }
    bool Closing() const override { return closing; }

    // `stream` arrives in reads of `piece` bytes.
    void Arrive(const Bytes& stream, std::size_t piece) {
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const auto end = stream.begin() + std::min(at + piece, stream.size());
            reads.push_back({Kind::kData, Bytes(stream.begin() + at, end)});
        }
    }
    void Go() {
        const SessionClock clock{[this] { return now; },
                                 [this](int ms) {
                                     slept_ms += ms;
                                     closing |= close_after_ms >= 0 && slept_ms > close_after_ms;
                                 }};
        RunSession(*this, framer, *this, clock);
    }
};

// The full record, or only its type, text and NUL.
Bytes Message(std::int32_t type, std::string_view text, bool full = true) {
    const auto wire = link::MakeTextMessage(type, text).Encode();
    return Bytes(wire.begin(), wire.begin() + (full ? wire.size() : 4 + text.size() + 1));
}

TEST(Session, CallEventsInAnyPiecesComeOutAndOthersAreIgnored) {
    const Events expected{{EventKind::kDial, "12", "0049301234;Germany;0.12"},
                          {EventKind::kConnected, "12", ""},
                          {EventKind::kFinished, "12;75;1.5", ""},
                          {EventKind::kRejected, "3", ""}};
    // The booth list (100) and types that are no call event (3, 105) come out as nothing.
    const std::pair<int, const char*> sent[] = {{101, "12;0049301234;Germany;0.12"},
                                                {102, "12"},
                                                {100, "http://x/;1;2"},
                                                {103, "12;75;1.5"},
                                                {3, ""},
                                                {105, "1"},
                                                {104, "3"}};
    for (bool full : {true, false}) {
        Bytes stream;
        for (const auto& [type, text] : sent) {
            const Bytes m = Message(type, text, full);
            stream.insert(stream.end(), m.begin(), m.end());
        }
        for (std::size_t piece : {1u, 7u, 259u}) {
            Counter run;
            if (!full) run.framer = link::MessageFramer(link::MessageFramer::Mode::kShortMessages);
            run.Arrive(stream, piece);
            run.Go();
            EXPECT_EQ(run.events, expected) << (full ? "full" : "short") << " in " << piece;
        }
    }
}

// Messages read together with the booth list come first.
TEST(Session, ServerClosingTheConnectionEndsTheSessionOnce) {
    Counter run;
    run.framer.Feed(Message(102, "7"));
    run.reads = {{Kind::kData, Message(104, "8")}, {Kind::kClosed, {}}};
    run.Go();
    EXPECT_EQ(run.events,
              (Events{{EventKind::kConnected, "7", ""}, {EventKind::kRejected, "8", ""}}));
    EXPECT_EQ(run.lost, 1);
    EXPECT_EQ(run.reads_after_end, 0) << "no reading after the close";
    EXPECT_TRUE(run.keep_alives.empty()) << "no keep-alives on a dead connection";
}

// Closing during the start delay cuts it short; a loss the console caused is not reported,
// a time-out while it closes sends no keep-alive.
TEST(Session, ConsoleClosingEndsTheSessionQuietly) {
    Counter normal, at_start, failed, timed_out;
    normal.Go();
    EXPECT_EQ(normal.slept_ms, 2000);
    at_start.closing = true;
    at_start.Go();
    EXPECT_EQ(at_start.slept_ms, 0);
    EXPECT_EQ(at_start.reads_after_end, 0);

    failed.reads = {{Kind::kFailed, {}, 0, true}};
    failed.Go();
    EXPECT_EQ(failed.lost, 0);
    timed_out.reads = {{Kind::kTimedOut, {}, 20, true}, {Kind::kFailed, {}}};
    timed_out.Go();
    EXPECT_TRUE(timed_out.keep_alives.empty());
    EXPECT_EQ(timed_out.lost, 0);

    Counter stuck;  // a queue that stays full while the console closes is given up
    stuck.free_every = 1000000;
    stuck.close_after_ms = 2100;
    stuck.Arrive(Message(102, "1"), 259);
    stuck.Go();
    EXPECT_TRUE(stuck.events.empty());
    EXPECT_EQ(stuck.lost, 0);
    EXPECT_EQ(stuck.reads_after_end, 0);
}

TEST(Session, KeepAliveAfterSilenceAndBeforeLateMessages) {
    Counter run;
    run.reads = {
        {Kind::kTimedOut, {}, 20},             // silence: keep-alive at 1020
        {Kind::kData, Message(102, "1"), 20},  // 20 s later: not yet due
        {Kind::kData, Message(102, "1"), 1},   // 21 s after the last: due before handling
        {Kind::kData, Message(102, "1"), 15},
        {Kind::kTimedOut, {}, 20},  // keep-alive at 1076
    };
    run.Go();
    EXPECT_EQ(run.keep_alives, (std::vector<std::int64_t>{1020, 1041, 1076}));
    EXPECT_EQ(run.events.size(), 3u);

    Counter set_back;  // a clock set back sends no keep-alive before messages
    set_back.reads = {{Kind::kData, Message(102, "1"), -3600},
                      {Kind::kData, Message(102, "1"), 10}};
    set_back.Go();
    EXPECT_TRUE(set_back.keep_alives.empty());
}

TEST(Session, FullQueueDelaysButLosesNothing) {
    Counter run;
    run.free_every = 3;  // two of every three attempts find the queue full
    Bytes stream;
    for (int i = 0; i < 50; ++i) {
        const Bytes m = Message(102, std::to_string(i));
        stream.insert(stream.end(), m.begin(), m.end());
    }
    run.Arrive(stream, 259);
    run.Go();
    ASSERT_EQ(run.events.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(run.events[i].first, std::to_string(i));
    EXPECT_EQ(run.slept_ms, 2000 + 100 * kDeliveryRetryMs);
    EXPECT_EQ(run.lost, 1);
}

}  // namespace
}  // namespace tlx::console
