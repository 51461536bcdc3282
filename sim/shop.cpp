#include "sim/shop.h"

#include "core/link/events.h"
#include "core/link/message.h"

namespace tlx::sim {

ShopState::ShopState(std::vector<std::string> booths) {
    for (auto& key : booths) booths_.push_back({std::move(key), {}});
}

void ShopState::Clear() {
    for (auto& b : booths_) b.calls.clear();
}

ShopState::Booth* ShopState::Find(const std::string& key) {
    for (auto& b : booths_)
        if (b.key == key) return &b;
    return nullptr;
}

CallRow* ShopState::Latest(Booth& booth, const char* state) {
    for (auto it = booth.calls.rbegin(); it != booth.calls.rend(); ++it)
        if (it->state == state) return &*it;
    return nullptr;
}

void ShopState::Apply(std::int32_t type, const std::string& text) {
    switch (type) {
        case link::kCallDialEvent: {
            auto f = link::ParseCallDial(text);
            Booth* b = Find(f.key);
            if (!b) return;
            if (b->calls.size() >= kRowsPerBooth) b->calls.pop_front();
            b->calls.push_back({std::move(f.destination),
                                std::move(f.description),
                                std::move(f.rate),
                                "Dialing",
                                0,
                                {}});
            return;
        }
        case link::kCallConnectedEvent:
        case link::kCallRejectedEvent: {
            Booth* b = Find(text);
            if (!b) return;
            if (CallRow* row = Latest(*b, "Dialing"))
                row->state = type == link::kCallConnectedEvent ? "Connected" : "Rejected";
            return;
        }
        case link::kCallFinishedEvent: {
            auto f = link::ParseCallFinished(text);
            Booth* b = Find(f.key);
            if (!b) return;
            CallRow* row = Latest(*b, "Connected");
            if (!row) return;
            row->state = "Finished";
            row->seconds = f.duration;
            // Cost as it was sent: the page shows what the console was told.
            std::string rest = text.substr(text.find(';') + 1);
            const auto semi = rest.find(';');
            row->cost = semi == std::string::npos ? std::string() : rest.substr(semi + 1);
            return;
        }
        default:
            return;
    }
}

}  // namespace tlx::sim
