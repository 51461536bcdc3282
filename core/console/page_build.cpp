#include "core/console/page_build.h"

#include <algorithm>

namespace tlx::console {

void PageBuild::Reset(int booths, int per_page) {
    built_.assign(static_cast<std::size_t>(std::max(booths, 0)), false);
    per_page_ = std::max(per_page, 1);
    left_ = static_cast<int>(built_.size());
}

int PageBuild::Next(int shown_page) const {
    const int count = static_cast<int>(built_.size());
    if (shown_page >= 0 && shown_page <= (count - 1) / per_page_) {
        const int first = shown_page * per_page_;
        for (int i = first; i < std::min(first + per_page_, count); ++i) {
            if (!built_[i]) return i;
        }
    }
    const auto it = std::find(built_.begin(), built_.end(), false);
    return it == built_.end() ? -1 : static_cast<int>(it - built_.begin());
}

void PageBuild::MarkBuilt(int index) {
    if (index < 0 || index >= static_cast<int>(built_.size()) || built_[index]) return;
    built_[index] = true;
    --left_;
}

bool PageBuild::IsBuilt(int index) const {
    return index >= 0 && index < static_cast<int>(built_.size()) && built_[index];
}

bool PageBuild::PageBuilt(int page) const {
    const int count = static_cast<int>(built_.size());
    if (page < 0 || page * per_page_ >= std::max(count, 1)) return false;
    for (int i = page * per_page_; i < std::min((page + 1) * per_page_, count); ++i) {
        if (!built_[i]) return false;
    }
    return true;
}

std::vector<BoothCall> HeldCalls::Release(std::string_view key) {
    const auto it = held_.find(key);
    if (it == held_.end()) return {};
    auto calls = std::move(it->second);
    held_.erase(it);
    return calls;
}

}  // namespace tlx::console
