// Splits the byte stream of a session into whole messages. A record split across two reads
// is joined again, and two records arriving together both come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "message.h"

namespace tlx::link {

class MessageFramer {
public:
    enum class Mode {
        kFullRecords,    // every message is a 259-byte record
        kShortMessages,  // type, text and its NUL only (at most 255 data bytes)
    };
    explicit MessageFramer(Mode mode) : mode_(mode) {}

    // The server's first text record after login shows which form it writes: a read of
    // exactly 259 bytes means full records.
    static Mode ModeFromFirstRead(std::size_t bytes_read) {
        return bytes_read == kRecordSize ? Mode::kFullRecords : Mode::kShortMessages;
    }

    void Feed(std::span<const std::uint8_t> bytes);
    std::optional<ServerMessage> Next();
    std::size_t buffered() const { return buffer_.size(); }
    Mode mode() const { return mode_; }

private:
    Mode mode_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace tlx::link
