// The password-proving steps of the login, shared by the console and the simulator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/link/message.h"

namespace tlx::link {

using Block = std::array<std::uint8_t, kBlockSize>;

// The AES-128 key derived from the password. For the empty password, position 0 is the
// terminating zero byte and positions 1 to 15 are zero as well.
Block PasswordKey(std::string_view password);

// Odd bytes +2, even bytes -2, modulo 256.
std::uint8_t TransformChallengeByte(std::uint8_t b);
Block TransformChallenge(const Block& challenge);

// The user name longest that fits the LoginRequest payload with its NUL.
inline constexpr std::size_t kMaxLoginUserName = kMaxText;

// Type 15, the user name with every byte increased by 1 modulo 256 and NUL-terminated.
// A byte 255 becomes 0 and so ends the name there; a longer name is cut to 254 bytes.
ServerMessage MakeLoginRequest(std::string_view user_name);
// The server's reading of it: the bytes up to the NUL, each decreased by 1.
std::string ReadLoginRequestUser(const ServerMessage& request);

// Client side: decipher the challenge, transform it, encipher the response.
Block ComputeChallengeResponse(std::string_view password, const Block& enciphered_challenge);
// Server side: the challenge enciphered with the user's key, and the response it expects.
Block EncipherChallenge(std::string_view password, const Block& challenge);
Block ExpectedResponse(std::string_view password, const Block& challenge);

}  // namespace tlx::link
