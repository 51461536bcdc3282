#include "sim/traffic.h"

#include <cmath>

#include "core/link/message.h"
#include "sim/json_log.h"

namespace tlx::sim {

std::uint64_t SeededRandom::NextU64() {  // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double SeededRandom::NextUnit() {
    return static_cast<double>(NextU64() >> 11) * 0x1.0p-53;
}

std::uint64_t SeededRandom::Below(std::uint64_t bound) {
    return NextU64() % bound;
}

const Tariff* TariffFor(const std::vector<Tariff>& tariffs, std::string_view number) {
    const Tariff* best = nullptr;
    for (const auto& t : tariffs)
        if (number.substr(0, t.prefix.size()) == t.prefix &&
            (!best || t.prefix.size() > best->prefix.size()))
            best = &t;
    return best;
}

std::int64_t CallCostCents(const Tariff& tariff, std::int32_t seconds) {
    if (seconds <= 0) return 0;
    return tariff.price_cents * ((static_cast<std::int64_t>(seconds) + 59) / 60);
}

CallGenerator::CallGenerator(std::vector<std::string> booths, std::vector<Tariff> tariffs,
                             double rate, std::uint64_t seed)
    : tariffs_(std::move(tariffs)), rate_(rate), random_(seed) {
    for (auto& key : booths) booths_.push_back({std::move(key), State::kIdle, 0});
}

TrafficEvent CallGenerator::Next(double* delay_s) {
    double delay = -std::log(1.0 - random_.NextUnit()) / rate_;
    std::vector<std::size_t> ready;
    while (true) {
        const double at = clock_ + delay;
        double first_end = 0;
        bool any_call = false;
        ready.clear();
        for (std::size_t i = 0; i < booths_.size(); ++i) {
            const Booth& b = booths_[i];
            const double end = b.connected_at + b.talk;
            if (b.state != State::kConnected || at >= end) {
                ready.push_back(i);
            } else if (!any_call || end < first_end) {
                first_end = end;
                any_call = true;
            }
        }
        if (!ready.empty()) break;
        delay = first_end - clock_;  // every booth is talking: the next event ends a call
    }
    clock_ += delay;
    if (delay_s) *delay_s = delay;
    Booth& booth = booths_[ready[random_.Below(ready.size())]];
    TrafficEvent ev;
    switch (booth.state) {
        case State::kIdle: {
            booth.tariff = random_.Below(tariffs_.size());
            const Tariff& tariff = tariffs_[booth.tariff];
            // Draw numbers until one is billed by the chosen tariff, so a longer prefix of
            // another tariff cannot claim it.
            std::string number;
            for (int attempt = 0; attempt < 32; ++attempt) {
                number = tariff.prefix;
                const std::size_t digits = 6 + random_.Below(4);
                for (std::size_t i = 0; i < digits; ++i)
                    number += static_cast<char>('0' + random_.Below(10));
                if (TariffFor(tariffs_, number) == &tariff) break;
            }
            ev = {link::kCallDialEvent, booth.key + ";" + number + ";" + tariff.description + ";" +
                                            FormatCents(tariff.price_cents)};
            booth.state = State::kDialing;
            break;
        }
        case State::kDialing:
            if (random_.NextUnit() < 0.85) {
                ev = {link::kCallConnectedEvent, booth.key};
                booth.state = State::kConnected;
                booth.connected_at = clock_;
                // Most calls are short, a few run for many minutes.
                const double u = random_.NextUnit();
                booth.talk = 5 + u * u * u * 900;
            } else {
                ev = {link::kCallRejectedEvent, booth.key};
                booth.state = State::kIdle;
            }
            break;
        case State::kConnected: {
            const auto seconds = static_cast<std::int32_t>(std::ceil(clock_ - booth.connected_at));
            const std::int64_t cents = CallCostCents(tariffs_[booth.tariff], seconds);
            ev = {link::kCallFinishedEvent,
                  booth.key + ";" + std::to_string(seconds) + ";" + FormatCents(cents)};
            booth.state = State::kIdle;
            break;
        }
    }
    return ev;
}

FloodPlan::FloodPlan(std::vector<std::string> booths, std::uint64_t events)
    : booths_(std::move(booths)), events_(events) {}

TrafficEvent FloodPlan::Event(std::uint64_t index) const {
    const std::uint64_t call = index / 3;
    const std::string& key = booths_[call % booths_.size()];
    switch (index % 3) {
        case 0: {
            std::string number = std::to_string(call);
            if (number.size() < 8) number.insert(0, 8 - number.size(), '0');
            return {link::kCallDialEvent, key + ";0" + number + ";Flood;0.05"};
        }
        case 1:
            return {link::kCallConnectedEvent, key};
        default:
            return {link::kCallFinishedEvent, key + ";" + std::to_string(CallSeconds(call)) + ";" +
                                                  FormatCents(CallCents(call))};
    }
}

std::vector<FloodPlan::BoothOutcome> FloodPlan::Expected() const {
    std::vector<BoothOutcome> out(booths_.size());
    for (std::size_t b = 0; b < booths_.size(); ++b) {
        out[b].key = booths_[b];
        out[b].last_state = "none";
    }
    const std::uint64_t calls = (events_ + 2) / 3;
    for (std::uint64_t call = 0; call < calls; ++call) {
        BoothOutcome& o = out[call % booths_.size()];
        ++o.calls;
        const std::uint64_t phases = std::min<std::uint64_t>(3, events_ - call * 3);
        if (phases == 3) {
            ++o.finished;
            o.total_seconds += CallSeconds(call);
            o.total_cents += CallCents(call);
            o.last_state = "finished";
        } else {
            o.last_state = phases == 1 ? "dialing" : "connected";
        }
    }
    return out;
}

std::string OutcomesJson(const std::vector<FloodPlan::BoothOutcome>& outcomes) {
    std::string json = "[";
    for (const auto& o : outcomes) {
        if (json.size() > 1) json += ',';
        JsonLine line;
        line.Str("booth", o.key)
            .Num("calls", static_cast<std::int64_t>(o.calls))
            .Num("finished", static_cast<std::int64_t>(o.finished))
            .Str("last_state", o.last_state)
            .Num("total_seconds", o.total_seconds)
            .Str("total_cost", FormatCents(o.total_cents));
        json += line.Done();
    }
    return json + "]";
}

}  // namespace tlx::sim
