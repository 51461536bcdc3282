#include "core/link/rijndael.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Pattern(std::size_t n, int step) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * step);
    return out;
}

RijndaelCipher Keyed(const Bytes& key, int block_length) {
    RijndaelCipher c;
    const Bytes chain(32, 0);
    c.SetKey(key.data(), chain.data(), static_cast<int>(key.size()), block_length);
    return c;
}

Bytes Apply(const RijndaelCipher& c, const Bytes& in, bool encipher) {
    Bytes out(in.size(), 0xAA);
    encipher ? c.EncipherBlock(in.data(), out.data()) : c.DecipherBlock(in.data(), out.data());
    return out;
}

// AES answers of FIPS-197 Appendix C. The wider blocks' answers were computed with libmcrypt's
// rijndael-192 and rijndael-256, an independent implementation, so builds without libmcrypt
// (Windows) check the 6- and 8-word rounds too. Key 00 01 02 ..., block 00 11 22 ...
TEST(Rijndael, KnownAnswersForEveryKeyAndBlockLength) {
    const std::tuple<int, int, const char*> cases[] = {
        {16, 16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {24, 16, "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {32, 16, "8ea2b7ca516745bfeafc49904b496089"},
        {16, 24, "e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba"},
        {24, 24, "78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d"},
        {32, 24, "65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712"},
        {16, 32, "98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f"},
        {24, 32, "3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868"},
        {32, 32, "288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6"}};
    for (const auto& [key, block, cipher_hex] : cases) {
        SCOPED_TRACE(std::to_string(key) + "/" + std::to_string(block));
        const Bytes plain = Pattern(static_cast<std::size_t>(block), 0x11);
        const Bytes expected = FromHex(cipher_hex);
        const RijndaelCipher cipher = Keyed(Pattern(static_cast<std::size_t>(key), 1), block);
        EXPECT_EQ(Apply(cipher, plain, true), expected);
        EXPECT_EQ(Apply(cipher, expected, false), plain);
        Bytes in_place = plain;  // in and out may be the same block
        cipher.EncipherBlock(in_place.data(), in_place.data());
        EXPECT_EQ(in_place, expected);
    }
}

// A bad key length, block length or missing key changes nothing, keyed or not; a valid key
// replaces the whole schedule, even after a larger key and block.
TEST(Rijndael, InvalidKeysChangeNothingAndRekeyingReplacesAll) {
    const Bytes key = Pattern(32, 1), in = Pattern(16, 1);
    auto bad_keys = [&](RijndaelCipher& c) {
        c.SetKey(key.data(), nullptr, 20, 16);
        c.SetKey(key.data(), nullptr, 32, 31);
        c.SetKey(nullptr, nullptr, 16, 16);
    };
    RijndaelCipher never;
    bad_keys(never);
    EXPECT_FALSE(never.initialised());
    for (bool encipher : {true, false}) EXPECT_EQ(Apply(never, in, encipher), Bytes(16, 0xAA));

    const RijndaelCipher fresh = Keyed(Pattern(16, 1), 16);
    RijndaelCipher reused = Keyed(Pattern(32, 9), 32);
    reused.SetKey(key.data(), nullptr, 16, 16);
    bad_keys(reused);
    for (bool encipher : {true, false})
        EXPECT_EQ(Apply(reused, in, encipher), Apply(fresh, in, encipher));
}

}  // namespace
}  // namespace tlx::link
