// The console's side of the wire, as the session and server tests need it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/link/login.h"
#include "core/link/message.h"

namespace tlx::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Record(const link::ServerMessage& m) {
    const auto r = m.Encode();
    return {r.begin(), r.end()};
}

inline std::int32_t TypeOf(std::span<const std::uint8_t> bytes) {
    return link::ReadType(bytes.first<4>());
}

inline Bytes ResponseRecord(const link::Block& block) {
    link::ServerMessage m;
    m.type = link::kChallengeResponse;
    std::copy(block.begin(), block.end(), m.data.begin());
    return Record(m);
}

inline link::Block Enciphered(std::span<const std::uint8_t> challenge) {
    link::Block block{};
    std::copy_n(challenge.begin() + 4, block.size(), block.begin());
    return block;
}

// What a console with `password` answers to the challenge record it was sent.
inline Bytes ResponseTo(std::span<const std::uint8_t> challenge, const std::string& password) {
    return ResponseRecord(link::ComputeChallengeResponse(password, Enciphered(challenge)));
}

}  // namespace tlx::sim::test
