#include "core/booth/seconds.h"

#include <algorithm>

namespace tlx::booth {

void SecondsSchedule::Start(const void* booth, Millis now) {
    Stop(booth);
    next_.emplace_back(booth, now + kSecond);
}

void SecondsSchedule::Stop(const void* booth) {
    std::erase_if(next_, [booth](const auto& entry) { return entry.first == booth; });
}

std::vector<const void*> SecondsSchedule::Due(Millis now) {
    std::vector<const void*> due;
    for (auto& [booth, next] : next_) {
        if (next > now) continue;
        next += kSecond;
        due.push_back(booth);
    }
    return due;
}

}  // namespace tlx::booth
