#include "console/session.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace tlx::console {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ReadResult::Kind;

// One scripted read: what arrives, and how many seconds the wait for it took.
struct ScriptedRead {
    Kind kind;
    Bytes bytes;
    int seconds = 0;
    bool console_closes_meanwhile = false;
};

struct Script : SessionLink {
    std::deque<ScriptedRead> reads;
    std::int64_t now = 1000;
    bool* closing = nullptr;
    std::vector<std::int64_t> keep_alives;  // clock at each keep-alive
    int reads_after_end = 0;

    ReadResult Read(std::span<std::uint8_t> buffer, int timeout) override {
        EXPECT_EQ(timeout, 20);
        if (reads.empty()) {
            ++reads_after_end;
            return {Kind::kFailed, 0};
        }
        auto r = std::move(reads.front());
        reads.pop_front();
        now += r.seconds;
        if (r.console_closes_meanwhile && closing) *closing = true;
        if (r.bytes.size() > buffer.size()) {
            ADD_FAILURE() << "scripted read larger than the buffer";
            return {Kind::kFailed, 0};
        }
        std::copy(r.bytes.begin(), r.bytes.end(), buffer.begin());
        return {r.kind, r.bytes.size()};
    }
    void SendKeepAlive() override { keep_alives.push_back(now); }
};

struct Operator : SessionSink {
    std::vector<SessionEvent> events;
    int lost = 0;
    bool closing = false;
    int refuse_every = 0;  // refuse every n-th delivery attempt (a full queue)
    int attempts = 0;

    bool Deliver(const SessionEvent& e) override {
        if (refuse_every && ++attempts % refuse_every != 0) return false;
        events.push_back(e);
        return true;
    }
    void ConnectionLost() override { ++lost; }
    bool Closing() const override { return closing; }
};

struct Harness {
    Script link;
    Operator op;
    int slept_ms = 0;
    link::MessageFramer framer{link::MessageFramer::Mode::kFullRecords};

    void Go() {
        link.closing = &op.closing;
        SessionClock clock{[this] { return link.now; }, [this](int ms) { slept_ms += ms; }};
        RunSession(link, framer, op, clock);
    }
};

Bytes Record(std::int32_t type, std::string_view text) {
    const auto wire = link::MakeTextMessage(type, text).Encode();
    return Bytes(wire.begin(), wire.end());
}

Bytes Short(std::int32_t type, std::string_view text) {
    Bytes b = Record(type, text);
    b.resize(4 + text.size() + 1);
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const SessionEvent kDial{EventKind::kDial, "12", "0049301234;Germany;0.12"};
const SessionEvent kFinish{EventKind::kFinished, "12;75;1.5", ""};

// A read delivers at most one record's worth; a longer piece comes in several reads.
void AddReads(std::deque<ScriptedRead>& reads, const Bytes& piece) {
    for (std::size_t at = 0; at < piece.size(); at += link::kRecordSize) {
        const auto end = std::min(at + link::kRecordSize, piece.size());
        reads.push_back({Kind::kData, Bytes(piece.begin() + at, piece.begin() + end)});
    }
}

TEST(Session, RecordSplitAtAnyOffsetStaysOneMessage) {
    const Bytes both = Join({Record(101, "12;0049301234;Germany;0.12"), Record(103, "12;75;1.5")});
    for (std::size_t cut = 1; cut < both.size(); ++cut) {
        Harness run;
        AddReads(run.link.reads, Bytes(both.begin(), both.begin() + cut));
        AddReads(run.link.reads, Bytes(both.begin() + cut, both.end()));
        run.Go();
        ASSERT_EQ(run.op.events, (std::vector<SessionEvent>{kDial, kFinish})) << "cut at " << cut;
    }
}

TEST(Session, ShortMessagesArrivingTogetherOrInPiecesAllComeOut) {
    const Bytes stream = Join({Short(101, "12;0049301234;Germany;0.12"), Short(102, "12"),
                               Short(103, "12;75;1.5"), Short(104, "3")});
    const std::vector<SessionEvent> expected{
        kDial, {EventKind::kConnected, "12", ""}, kFinish, {EventKind::kRejected, "3", ""}};
    for (std::size_t piece : {1u, 3u, 7u, 40u, 259u}) {
        Harness run;
        run.framer = link::MessageFramer(link::MessageFramer::Mode::kShortMessages);
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const auto end = std::min(at + piece, stream.size());
            run.link.reads.push_back(
                {Kind::kData, Bytes(stream.begin() + at, stream.begin() + end)});
        }
        run.Go();
        EXPECT_EQ(run.op.events, expected) << "pieces of " << piece;
    }
}

TEST(Session, MessagesLeftFromTheBoothListReadComeFirst) {
    Harness run;
    run.framer.Feed(Record(102, "7"));
    run.link.reads = {{Kind::kData, Record(104, "8")}};
    run.Go();
    ASSERT_EQ(run.op.events.size(), 2u);
    EXPECT_EQ(run.op.events[0].first, "7");
    EXPECT_EQ(run.op.events[1].first, "8");
}

TEST(Session, OtherTypesAreIgnored) {
    Harness run;
    run.link.reads = {{Kind::kData, Record(100, "http://x/;1;2")},
                      {Kind::kData, Record(3, "")},
                      {Kind::kData, Record(105, "1")},
                      {Kind::kData, Record(102, "1")}};
    run.Go();
    EXPECT_EQ(run.op.events, (std::vector<SessionEvent>{{EventKind::kConnected, "1", ""}}));
}

TEST(Session, ServerClosingTheConnectionEndsTheSessionOnce) {
    Harness run;
    run.link.reads = {{Kind::kData, Record(102, "1")}, {Kind::kClosed, {}, 0}};
    run.Go();
    EXPECT_EQ(run.op.lost, 1);
    EXPECT_EQ(run.link.reads_after_end, 0) << "no reading after the close";
    EXPECT_TRUE(run.link.keep_alives.empty()) << "no keep-alives on a dead connection";
}

TEST(Session, LossCausedByTheConsoleIsNotReported) {
    Harness run;
    run.op.closing = true;
    run.link.reads = {{Kind::kFailed, {}}};
    run.Go();
    EXPECT_EQ(run.op.lost, 0);

    Harness timed_out;  // a time-out while the console closes sends no keep-alive
    timed_out.link.reads = {{Kind::kTimedOut, {}, 20, true}, {Kind::kFailed, {}}};
    timed_out.Go();
    EXPECT_TRUE(timed_out.link.keep_alives.empty());
    EXPECT_EQ(timed_out.op.lost, 0);
}

TEST(Session, StartDelayIsCutShortWhenClosing) {
    Harness run;
    run.op.closing = true;
    run.Go();
    EXPECT_EQ(run.slept_ms, 0);
    EXPECT_EQ(run.link.reads_after_end, 0);
    Harness normal;
    normal.Go();
    EXPECT_EQ(normal.slept_ms, 2000);
}

TEST(Session, KeepAliveAfterSilenceAndBeforeLateMessages) {
    Harness run;
    run.link.reads = {
        {Kind::kTimedOut, {}, 20},            // silence: keep-alive at 1020
        {Kind::kData, Record(102, "1"), 20},  // 20 s later: not yet due
        {Kind::kData, Record(102, "1"), 1},   // 21 s after the last: due before handling
        {Kind::kData, Record(102, "1"), 15}, {Kind::kTimedOut, {}, 20},  // keep-alive at 1076
    };
    run.Go();
    EXPECT_EQ(run.link.keep_alives, (std::vector<std::int64_t>{1020, 1041, 1076}));
    EXPECT_EQ(run.op.events.size(), 3u);
}

TEST(Session, ClockSetBackSendsNoKeepAliveBeforeMessages) {
    Harness run;
    run.link.reads = {{Kind::kData, Record(102, "1"), -3600}, {Kind::kData, Record(102, "1"), 10}};
    run.Go();
    EXPECT_TRUE(run.link.keep_alives.empty());
}

TEST(Session, FullQueueDelaysButLosesNothing) {
    Harness run;
    run.op.refuse_every = 3;  // two of every three attempts find the queue full
    Bytes stream;
    for (int i = 0; i < 50; ++i) stream = Join({stream, Record(102, std::to_string(i))});
    run.link.reads.push_back({Kind::kData, stream});  // larger than one read: split it
    run.link.reads.clear();
    for (std::size_t at = 0; at < stream.size(); at += 259) {
        run.link.reads.push_back(
            {Kind::kData, Bytes(stream.begin() + at, stream.begin() + at + 259)});
    }
    run.Go();
    ASSERT_EQ(run.op.events.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(run.op.events[i].first, std::to_string(i));
    EXPECT_EQ(run.slept_ms, 2000 + 100 * kDeliveryRetryMs);
    EXPECT_EQ(run.op.lost, 1);
}

TEST(Session, FullQueueWhileClosingGivesUp) {
    Harness run;
    run.op.refuse_every = 1000000;
    run.link.reads = {{Kind::kData, Record(102, "1")}};
    SessionClock clock{[&] { return run.link.now; },
                       [&](int ms) {
                           run.slept_ms += ms;
                           if (run.slept_ms > 2100) run.op.closing = true;
                       }};
    RunSession(run.link, run.framer, run.op, clock);
    EXPECT_TRUE(run.op.events.empty());
    EXPECT_EQ(run.op.lost, 0);
    EXPECT_EQ(run.link.reads_after_end, 0);
}

}  // namespace
}  // namespace tlx::console
