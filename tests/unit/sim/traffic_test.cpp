// Generated traffic must be a believable call shop and repeat itself for a seed; the flood's
// promised end state must be what its events really add up to.
#include "traffic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "link/events.h"
#include "link/fields.h"
#include "link/message.h"

namespace tlx::sim {
namespace {

const std::vector<Tariff> kTariffs = {
    {"0", "Local", 10}, {"06", "Mobile", 35}, {"00", "International", 120}, {"0800", "Free", 0}};

TEST(CallGenerator, SameSeedSameTrafficOtherSeedOther) {
    const std::vector<std::string> booths = {"1", "2", "3"};
    CallGenerator a(booths, kTariffs, 5.0, 7), b(booths, kTariffs, 5.0, 7),
        c(booths, kTariffs, 5.0, 8);
    int differ = 0;
    for (int i = 0; i < 200; ++i) {
        double da = 0, db = 0, dc = 0;
        const auto ea = a.Next(&da), eb = b.Next(&db), ec = c.Next(&dc);
        EXPECT_EQ(ea.type, eb.type);
        EXPECT_EQ(ea.text, eb.text);
        EXPECT_EQ(da, db);
        differ += ea.text != ec.text;
    }
    EXPECT_GT(differ, 50);
}

TEST(CallGenerator, EveryCallFollowsTheBoothLifecycleAndIsPricedByItsTariff) {
    enum State { kIdle, kDialing, kConnected };
    std::map<std::string, State> state;
    std::map<std::string, std::string> dialled;
    std::map<std::string, double> connected_at;
    CallGenerator gen({"A", "B", "C", "D"}, kTariffs, 10.0, 99);
    double total_delay = 0;
    double short_gaps = 0;
    int short_count = 0;
    int dials = 0, rejects = 0, finishes = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        double delay = 0;
        const auto ev = gen.Next(&delay);
        ASSERT_GE(delay, 0.0);
        total_delay += delay;
        if (delay < 1.0) {
            short_gaps += delay;
            ++short_count;
        }
        ASSERT_LE(ev.text.size(), link::kMaxText);
        switch (ev.type) {
            case link::kCallDialEvent: {
                const auto f = link::ParseCallDial(ev.text);
                ASSERT_EQ(state[f.key], kIdle) << ev.text;
                const Tariff* t = TariffFor(kTariffs, f.destination);
                ASSERT_NE(t, nullptr);
                EXPECT_EQ(f.description, t->description) << ev.text;
                EXPECT_EQ(f.rate, FormatCents(t->price_cents));
                state[f.key] = kDialing;
                dialled[f.key] = f.destination;
                ++dials;
                break;
            }
            case link::kCallConnectedEvent:
                ASSERT_EQ(state[ev.text], kDialing);
                state[ev.text] = kConnected;
                connected_at[ev.text] = total_delay;
                break;
            case link::kCallRejectedEvent:
                ASSERT_EQ(state[ev.text], kDialing);
                state[ev.text] = kIdle;
                ++rejects;
                break;
            case link::kCallFinishedEvent: {
                const auto f = link::ParseCallFinished(ev.text);
                ASSERT_EQ(state[f.key], kConnected);
                // The call lasted as long as the time that passed since its connect.
                const double talked = total_delay - connected_at[f.key];
                EXPECT_GE(talked, 5.0) << ev.text;
                EXPECT_EQ(f.duration, static_cast<std::int32_t>(std::ceil(talked - 1e-9)))
                    << ev.text;
                const Tariff* t = TariffFor(kTariffs, dialled[f.key]);
                const auto minutes = (f.duration + 59) / 60;
                EXPECT_EQ(ParseCents(ev.text.substr(ev.text.rfind(';') + 1)),
                          t->price_cents * minutes)
                    << ev.text;
                state[f.key] = kIdle;
                ++finishes;
                break;
            }
            default:
                FAIL() << "unexpected type " << ev.type;
        }
    }
    // Some calls are refused, most are connected. While booths can act the gaps follow the
    // rate; when all are talking the next event waits for a call's end.
    EXPECT_GT(rejects, dials / 20);
    EXPECT_GT(finishes, dials / 2);
    EXPECT_NEAR(short_gaps / short_count, 0.1, 0.015);
    EXPECT_GT(total_delay / n, 0.1);
}

// Folds the events as a booth would, without knowing how the plan built them.
std::map<std::string, FloodPlan::BoothOutcome> Replay(const FloodPlan& plan) {
    std::map<std::string, FloodPlan::BoothOutcome> out;
    for (std::uint64_t i = 0; i < plan.size(); ++i) {
        const auto ev = plan.Event(i);
        if (ev.type == link::kCallDialEvent) {
            auto& o = out[link::ParseCallDial(ev.text).key];
            ++o.calls;
            o.last_state = "dialing";
        } else if (ev.type == link::kCallConnectedEvent) {
            out[ev.text].last_state = "connected";
        } else if (ev.type == link::kCallFinishedEvent) {
            const auto f = link::ParseCallFinished(ev.text);
            auto& o = out[f.key];
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
        for (const std::size_t booths : {1u, 4u, 7u}) {
            SCOPED_TRACE(std::to_string(events) + " events over " + std::to_string(booths));
            std::vector<std::string> keys;
            for (std::size_t b = 0; b < booths; ++b) keys.push_back("B" + std::to_string(b));
            const FloodPlan plan(keys, events);
            auto replayed = Replay(plan);
            const auto expected = plan.Expected();
            ASSERT_EQ(expected.size(), booths);
            for (const auto& e : expected) {
                const auto& r = replayed[e.key];
                EXPECT_EQ(e.calls, r.calls) << e.key;
                EXPECT_EQ(e.finished, r.finished) << e.key;
                EXPECT_EQ(e.last_state, r.calls ? r.last_state : "none") << e.key;
                EXPECT_EQ(e.total_seconds, r.total_seconds) << e.key;
                EXPECT_EQ(e.total_cents, r.total_cents) << e.key;
            }
        }
    }
}

}  // namespace
}  // namespace tlx::sim
