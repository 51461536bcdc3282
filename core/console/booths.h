// The booths of a session: their order on the pages and the calls that reach them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::console {

// Booth keys are matched byte for byte and ordered the same way: "10" before "9", and
// "01" is another booth than "1". Bytes count as unsigned, so 0x80 sorts after 'z'.
struct BoothKeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto x = static_cast<unsigned char>(a[i]);
            const auto y = static_cast<unsigned char>(b[i]);
            if (x != y) return x < y;
        }
        return a.size() < b.size();
    }
};

struct BoothEntry {
    std::string key;
    std::string display_name;  // the alias when there is one, else the key
    friend bool operator==(const BoothEntry&, const BoothEntry&) = default;
};

// The booths a booth list announces, in key order. A key named twice is one booth (the
// first one kept), so the pages are sized by the booths that really exist.
std::vector<BoothEntry> BoothEntries(const std::vector<std::string>& keys,
                                     const std::function<std::string(const std::string&)>& alias);

// One call event, as the receiving thread hands it over: the dial event arrives split into
// the booth key and the rest, the others as their whole text.
enum class EventKind { kDial, kConnected, kFinished, kRejected };

struct BoothCall {
    EventKind kind = EventKind::kDial;
    std::string key;
    std::string destination, description, rate;  // dial only
    std::int16_t duration = 0;                   // finished only: the low 16 bits
    double cost = 0.0;                           // finished only
};

// The handler side: what to call on which booth for a posted event.
BoothCall DecodeBoothCall(EventKind kind, std::string first, std::string rest);

// The booth's control takes the duration as a 16-bit value: only the low 16 bits go on.
std::int16_t DurationForBooth(std::int32_t seconds);

}  // namespace tlx::console
