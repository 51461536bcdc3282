// Generated traffic must be a believable call shop and repeat itself for a seed; the flood's
// promised end state must be what its events really add up to.
#include "sim/traffic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "core/link/events.h"
#include "core/link/fields.h"
#include "core/link/message.h"

namespace tlx::sim {
namespace {

const std::vector<Tariff> kTariffs = {
    {"0", "Local", 10}, {"06", "Mobile", 35}, {"00", "International", 120}, {"0800", "Free", 0}};

TEST(CallGenerator, EveryCallFollowsTheBoothLifecycleAndIsPricedByItsTariff) {
    enum State { kIdle, kDialing, kConnected };
    struct Booth {
        State state = kIdle;
        std::string number;
        double connected_at = 0;
    };
    std::map<std::string, Booth> booths;
    const std::vector<std::string> keys = {"A", "B", "C", "D"};
    CallGenerator gen(keys, kTariffs, 10.0, 99), other_seed(keys, kTariffs, 10.0, 100);
    double now = 0, short_gaps = 0;
    int short_count = 0, dials = 0, rejects = 0, finishes = 0, differ = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        double delay = 0;
        const auto ev = gen.Next(&delay);
        differ += other_seed.Next(nullptr).text != ev.text;
        ASSERT_GE(delay, 0.0);
        now += delay;
        if (delay < 1.0) short_gaps += delay, ++short_count;
        ASSERT_LE(ev.text.size(), link::kMaxText);
        Booth& b = booths[ev.text.substr(0, ev.text.find(';'))];
        if (ev.type == link::kCallDialEvent) {
            const auto f = link::ParseCallDial(ev.text);
            ASSERT_EQ(b.state, kIdle) << ev.text;
            const Tariff* t = TariffFor(kTariffs, f.destination);
            ASSERT_NE(t, nullptr) << ev.text;
            EXPECT_EQ(std::tie(f.description, f.rate),
                      std::tuple(t->description, FormatCents(t->price_cents)))
                << ev.text;
            b = {kDialing, f.destination};
            ++dials;
        } else if (ev.type == link::kCallConnectedEvent || ev.type == link::kCallRejectedEvent) {
            ASSERT_EQ(b.state, kDialing) << ev.text;
            b.state = ev.type == link::kCallConnectedEvent ? kConnected : kIdle;
            b.connected_at = now;
            rejects += b.state == kIdle;
        } else {
            ASSERT_EQ(ev.type, link::kCallFinishedEvent);
            ASSERT_EQ(b.state, kConnected) << ev.text;
            // The call lasted as long as the time that passed since its connect, and every
            // started minute is charged.
            const double talked = now - b.connected_at;
            const auto f = link::ParseCallFinished(ev.text);
            EXPECT_GE(talked, 5.0) << ev.text;
            EXPECT_EQ(f.duration, static_cast<std::int32_t>(std::ceil(talked - 1e-9))) << ev.text;
            EXPECT_EQ(ParseCents(ev.text.substr(ev.text.rfind(';') + 1)),
                      TariffFor(kTariffs, b.number)->price_cents * ((f.duration + 59) / 60))
                << ev.text;
            b.state = kIdle;
            ++finishes;
        }
    }
    // Some calls are refused, most are connected. While booths can act the gaps follow the
    // rate; when all are talking the next event waits for a call's end.
    EXPECT_GT(rejects, dials / 20);
    EXPECT_GT(finishes, dials / 2);
    EXPECT_NEAR(short_gaps / short_count, 0.1, 0.015);
    EXPECT_GT(now / n, 0.1);
    EXPECT_GT(differ, n / 4);  // the seed matters
}

// Folds the events as a booth would, without knowing how the plan built them.
std::map<std::string, FloodPlan::BoothOutcome> Replay(const FloodPlan& plan) {
    std::map<std::string, FloodPlan::BoothOutcome> out;
    for (std::uint64_t i = 0; i < plan.size(); ++i) {
        const auto ev = plan.Event(i);
        auto& o = out[ev.text.substr(0, ev.text.find(';'))];
        if (ev.type == link::kCallDialEvent) {
            ++o.calls;
            o.last_state = "dialing";
        } else if (ev.type == link::kCallConnectedEvent) {
            o.last_state = "connected";
        } else if (ev.type == link::kCallFinishedEvent) {
            const auto f = link::ParseCallFinished(ev.text);
            ++o.finished;
            o.last_state = "finished";
            o.total_seconds += f.duration;
            o.total_cents += *ParseCents(ev.text.substr(ev.text.rfind(';') + 1));
        }
    }
    return out;
}

TEST(FloodPlan, PromisedEndStateIsWhatTheEventsAddUpTo) {
    for (const std::uint64_t events : {0ULL, 1ULL, 2ULL, 3ULL, 100ULL, 3001ULL, 30002ULL}) {
        std::vector<std::string> keys;
        for (std::size_t booths = 1; booths <= 7; booths += 3) {  // 1, 4 and 7 booths
            while (keys.size() < booths) keys.push_back("B" + std::to_string(keys.size()));
            SCOPED_TRACE(std::to_string(events) + " events over " + std::to_string(booths));
            const FloodPlan plan(keys, events);
            auto replayed = Replay(plan);
            ASSERT_EQ(plan.Expected().size(), booths);
            for (const auto& e : plan.Expected()) {
                const auto& r = replayed[e.key];
                EXPECT_EQ(
                    std::tie(e.calls, e.finished, e.total_seconds, e.total_cents, e.last_state),
                    std::make_tuple(r.calls, r.finished, r.total_seconds, r.total_cents,
                                    r.calls ? r.last_state : std::string("none")))
                    << e.key;
            }
        }
    }
}

}  // namespace
}  // namespace tlx::sim
