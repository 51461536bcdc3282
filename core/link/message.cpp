#include "core/link/message.h"

#include <algorithm>

namespace tlx::link {

std::string ServerMessage::Text() const {
    const std::size_t delivered = std::min(data_length, kDataSize);
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(delivered);
    const auto nul = std::find(data.begin(), end, std::uint8_t{0});
    // Without a NUL the text ends at the last byte that arrived, but never takes the byte
    // where its NUL would have to be.
    const std::size_t length = std::min(static_cast<std::size_t>(nul - data.begin()), kMaxText);
    return std::string(reinterpret_cast<const char*>(data.data()), length);
}

std::array<std::uint8_t, kRecordSize> ServerMessage::Encode() const {
    std::array<std::uint8_t, kRecordSize> out{};
    WriteType(type, std::span<std::uint8_t, 4>(out.data(), 4));
    std::copy(data.begin(), data.end(), out.begin() + kShortSize);
    return out;
}

std::array<std::uint8_t, kShortSize> ServerMessage::EncodeShort() const {
    std::array<std::uint8_t, kShortSize> out{};
    WriteType(type, out);
    return out;
}

ServerMessage MakeTextMessage(std::int32_t type, std::string_view text) {
    ServerMessage m;
    m.type = type;
    const std::size_t length = std::min(text.size(), kMaxText);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(text.data()), length, m.data.begin());
    m.data[length] = 0;
    m.data_length = kDataSize;  // written as a full record
    return m;
}

std::optional<ServerMessage> DecodeMessage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kShortSize) return std::nullopt;
    ServerMessage m;
    m.type = ReadType(bytes.first<4>());
    const std::size_t length = std::min(bytes.size() - kShortSize, kDataSize);
    std::copy_n(bytes.begin() + kShortSize, length, m.data.begin());
    m.data_length = length;
    return m;
}

std::int32_t ReadType(std::span<const std::uint8_t, 4> bytes) {
    const std::uint32_t u = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                            (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
    return static_cast<std::int32_t>(u);
}

void WriteType(std::int32_t type, std::span<std::uint8_t, 4> out) {
    const auto u = static_cast<std::uint32_t>(type);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

}  // namespace tlx::link
