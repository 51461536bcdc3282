// SHA-256 from the platform's well-kept implementation, never our own: OpenSSL's libcrypto on
// Linux, Windows' CNG (BCrypt) in the Windows build. The bills store's seals are made with it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tlx::billing {

using Digest = std::array<unsigned char, 32>;

Digest Sha256(std::string_view data);
// Lower-case hexadecimal, 64 characters.
inline std::string Hex(const Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

}  // namespace tlx::billing
