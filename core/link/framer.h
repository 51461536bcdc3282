// Splits the byte stream of a session into whole messages. A record split across two reads
// is joined again, and two records arriving together both come out.
//
// Limits:
// - kFullRecords counts 259 bytes per message and nothing else: a 4-byte short form (a
//   KeepAlive, a login result) in the stream shifts every later message.
// - kShortMessages ends a message at the first NUL of its data, so it suits text payloads
//   only: a cipher block holding a zero byte is cut there, and a 4-byte short form takes
//   the next message's bytes as its text. A text of 255 bytes with no NUL ends after the
//   255th data byte; a longer run of bytes without a NUL goes on as the next message.
// - Bytes fed but not yet taken by Next stay buffered; a caller that feeds without taking
//   grows the buffer without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "core/link/message.h"

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
    std::size_t buffered() const { return buffer_.size() - start_; }
    Mode mode() const { return mode_; }

  private:
    Mode mode_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;  // bytes at the front already handed out by Next
};

}  // namespace tlx::link
