// Call traffic that is not scripted: a lifelike call shop and a benchmark flood.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/config.h"

namespace tlx::sim {

struct TrafficEvent {
    std::int32_t type = 0;
    std::string text;
};

// Same seed, same numbers, on every machine (the standard distributions are not portable).
class SeededRandom {
  public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t NextU64();
    double NextUnit();                         // [0, 1)
    std::uint64_t Below(std::uint64_t bound);  // [0, bound), bound > 0

  private:
    std::uint64_t state_;
};

// The tariff whose prefix is the longest one the number starts with, or nullptr.
const Tariff* TariffFor(const std::vector<Tariff>& tariffs, std::string_view number);
// Every started minute is charged; a call of 0 s costs nothing.
std::int64_t CallCostCents(const Tariff& tariff, std::int32_t seconds);

// Each booth goes idle -> dialing -> connected or rejected -> finished -> idle. Events come
// as a Poisson process of `rate` a second, each from a booth picked at random among those
// that can act: a connected booth can finish only when its call has lasted the talk time
// drawn for it. The time is the sum of the gaps, so a finish reports the seconds that
// really passed since its connect, as the console counts them.
class CallGenerator {
  public:
    CallGenerator(std::vector<std::string> booths, std::vector<Tariff> tariffs, double rate,
                  std::uint64_t seed);
    // The next event and the seconds to wait before sending it.
    TrafficEvent Next(double* delay_s);

  private:
    enum class State { kIdle, kDialing, kConnected };
    struct Booth {
        std::string key;
        State state = State::kIdle;
        std::size_t tariff = 0;
        double connected_at = 0;  // generator seconds
        double talk = 0;          // seconds the call lasts at least
    };
    std::vector<Booth> booths_;
    double clock_ = 0;
    std::vector<Tariff> tariffs_;
    double rate_;
    SeededRandom random_;
};

// Event i belongs to call i / 3 on booth (i / 3) mod M and is its dial, connect or finish,
// so the state every booth ends in follows from N and M alone.
class FloodPlan {
  public:
    FloodPlan(std::vector<std::string> booths, std::uint64_t events);
    std::uint64_t size() const { return events_; }
    TrafficEvent Event(std::uint64_t index) const;

    struct BoothOutcome {
        std::string key;
        std::uint64_t calls = 0;     // rows the booth should show
        std::uint64_t finished = 0;  // of which finished
        std::string last_state;      // "none", "dialing", "connected" or "finished"
        std::int64_t total_seconds = 0;
        std::int64_t total_cents = 0;  // of the finished calls
    };
    std::vector<BoothOutcome> Expected() const;

    static std::int32_t CallSeconds(std::uint64_t call) {
        return static_cast<std::int32_t>(call % 300 + 1);
    }
    static std::int64_t CallCents(std::uint64_t call) {
        return static_cast<std::int64_t>(call % 97 + 1) * 5;
    }

  private:
    std::vector<std::string> booths_;
    std::uint64_t events_;
};

// {"booth":"1","calls":..,...} objects in an array, for the summary and the log.
std::string OutcomesJson(const std::vector<FloodPlan::BoothOutcome>& outcomes);

}  // namespace tlx::sim
