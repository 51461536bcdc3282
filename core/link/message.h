// The record both ends write on the call shop server connection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tlx::link {

enum MessageType : std::int32_t {
    kLoginIncorrect = 2,
    kLoginAccepted = 3,
    kKeepAlive = 13,
    kLoginRequest = 15,
    kLoginChallenge = 18,
    kChallengeResponse = 19,
    kAlreadyLoggedIn = 20,
    kBoothList = 100,
    kCallDialEvent = 101,
    kCallConnectedEvent = 102,
    kCallFinishedEvent = 103,
    kCallRejectedEvent = 104,
};

inline constexpr std::size_t kRecordSize = 259;  // type + 255 data bytes (not 260)
inline constexpr std::size_t kDataSize = 255;
inline constexpr std::size_t kShortSize = 4;   // type alone: KeepAlive, login result
inline constexpr std::size_t kMaxText = 254;   // a text payload keeps room for its NUL
inline constexpr std::size_t kBlockSize = 16;  // login cipher block in data bytes 0..15

struct ServerMessage {
    std::int32_t type = 0;
    // Only the bytes a read delivered count; the rest stay zero so nothing of an
    // earlier message can leak into this one.
    std::array<std::uint8_t, kDataSize> data{};
    std::size_t data_length = 0;  // data bytes actually delivered (0..255)

    // Text payload: up to the first NUL among the delivered bytes, or all of them
    // (at most 254 characters) when no NUL arrived.
    std::string Text() const;

    // Full 259-byte wire record (type little-endian, then the 255 data bytes).
    std::array<std::uint8_t, kRecordSize> Encode() const;
    // The 4-byte short form: the type alone.
    std::array<std::uint8_t, kShortSize> EncodeShort() const;
};

// Builds a message with a text payload, cut to 254 characters so the NUL always fits.
// data_length is 255: the message is written as a full record.
ServerMessage MakeTextMessage(std::int32_t type, std::string_view text);

// Takes what one read delivered as one message. Needs at least the 4 type bytes;
// up to 255 data bytes are kept, anything beyond is ignored.
std::optional<ServerMessage> DecodeMessage(std::span<const std::uint8_t> bytes);

// Little-endian helpers shared by both ends.
std::int32_t ReadType(std::span<const std::uint8_t, 4> bytes);
void WriteType(std::int32_t type, std::span<std::uint8_t, 4> out);

}  // namespace tlx::link
