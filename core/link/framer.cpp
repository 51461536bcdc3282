#include "core/link/framer.h"

#include <algorithm>

namespace tlx::link {

void MessageFramer::Feed(std::span<const std::uint8_t> bytes) {
    // Drop what Next already handed out before growing, so a long session keeps at most
    // one partial message plus the latest read.
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<ServerMessage> MessageFramer::Next() {
    const std::span<const std::uint8_t> pending(buffer_.data() + start_, buffer_.size() - start_);
    std::size_t length = 0;
    if (mode_ == Mode::kFullRecords) {
        if (pending.size() < kRecordSize) return std::nullopt;
        length = kRecordSize;
    } else {
        if (pending.size() < kShortSize) return std::nullopt;
        const auto data =
            pending.subspan(kShortSize, std::min(pending.size() - kShortSize, kDataSize));
        const auto nul = std::find(data.begin(), data.end(), std::uint8_t{0});
        if (nul != data.end()) {
            length = kShortSize + static_cast<std::size_t>(nul - data.begin()) + 1;
        } else if (pending.size() >= kRecordSize) {
            length = kRecordSize;  // 255 data bytes without a NUL: the most one message holds
        } else {
            return std::nullopt;  // the text's end has not arrived yet
        }
    }
    auto message = DecodeMessage(pending.first(length));
    start_ += length;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return message;
}

}  // namespace tlx::link
