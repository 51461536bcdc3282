#include "core/console/booths.h"

#include <algorithm>
#include <set>

#include "core/link/events.h"

namespace tlx::console {

std::vector<BoothEntry> BoothEntries(const std::vector<std::string>& keys,
                                     const std::function<std::string(const std::string&)>& alias) {
    std::set<std::string, BoothKeyLess> seen;
    std::vector<BoothEntry> entries;
    for (const auto& key : keys) {
        if (!seen.insert(key).second) continue;
        std::string name = alias ? alias(key) : std::string();
        entries.push_back({key, name.empty() ? key : std::move(name)});
    }
    std::sort(entries.begin(), entries.end(), [](const BoothEntry& a, const BoothEntry& b) {
        return BoothKeyLess{}(a.key, b.key);
    });
    return entries;
}

std::int16_t DurationForBooth(std::int32_t seconds) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(seconds & 0xFFFF));
}

BoothCall DecodeBoothCall(EventKind kind, std::string first, std::string rest) {
    BoothCall call;
    call.kind = kind;
    switch (kind) {
        case EventKind::kDial: {
            call.key = std::move(first);
            auto fields = link::ParseDialRest(std::move(rest));
            call.destination = std::move(fields.destination);
            call.description = std::move(fields.description);
            call.rate = std::move(fields.rate);
            break;
        }
        case EventKind::kFinished: {
            auto fields = link::ParseCallFinished(std::move(first));
            call.key = std::move(fields.key);
            call.duration = DurationForBooth(fields.duration);
            call.cost = fields.cost;
            break;
        }
        case EventKind::kConnected:
        case EventKind::kRejected:
            call.key = std::move(first);
            break;
    }
    return call;
}

}  // namespace tlx::console
