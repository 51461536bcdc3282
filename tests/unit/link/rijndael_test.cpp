#include "link/rijndael.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

Bytes Sequence(std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i);
    return out;
}

RijndaelCipher Keyed(const Bytes& key, int block_length) {
    RijndaelCipher c;
    const Bytes chain(static_cast<std::size_t>(block_length), 0);
    c.SetKey(key.data(), chain.data(), static_cast<int>(key.size()), block_length);
    return c;
}

Bytes Encipher(const RijndaelCipher& c, const Bytes& in) {
    Bytes out(in.size(), 0xAA);
    c.EncipherBlock(in.data(), out.data());
    return out;
}

Bytes Decipher(const RijndaelCipher& c, const Bytes& in) {
    Bytes out(in.size(), 0xAA);
    c.DecipherBlock(in.data(), out.data());
    return out;
}

// The AES examples of FIPS-197 Appendix C: one plaintext under 128-, 192- and 256-bit keys.
TEST(Rijndael, AesKnownAnswersBothDirections) {
    const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        std::size_t key_length;
        const char* cipher;
        int rounds;
    } cases[] = {
        {16, "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
        {24, "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
        {32, "8ea2b7ca516745bfeafc49904b496089", 14},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key_length);
        const RijndaelCipher cipher = Keyed(Sequence(c.key_length), 16);
        EXPECT_EQ(cipher.rounds(), c.rounds);
        EXPECT_EQ(Encipher(cipher, plain), FromHex(c.cipher));
        EXPECT_EQ(Decipher(cipher, FromHex(c.cipher)), plain);
    }
}

// Wider blocks: key bytes 00 01 02 ..., block bytes 00 11 22 ... (wrapping). The ciphertexts
// were computed with libmcrypt's rijndael-192 and rijndael-256, an independent implementation,
// so builds without libmcrypt (Windows) still check the 6- and 8-word rounds.
TEST(Rijndael, WiderBlocksKnownAnswersBothDirections) {
    const struct {
        std::size_t key_length;
        int block_length;
        const char* cipher;
    } cases[] = {
        {16, 24, "e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba"},
        {24, 24, "78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d"},
        {32, 24, "65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712"},
        {16, 32, "98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f"},
        {24, 32, "3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868"},
        {32, 32, "288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.key_length) + "/" + std::to_string(c.block_length));
        Bytes plain(static_cast<std::size_t>(c.block_length));
        for (std::size_t i = 0; i < plain.size(); ++i)
            plain[i] = static_cast<std::uint8_t>(i * 0x11);
        const RijndaelCipher cipher = Keyed(Sequence(c.key_length), c.block_length);
        EXPECT_EQ(Encipher(cipher, plain), FromHex(c.cipher));
        EXPECT_EQ(Decipher(cipher, FromHex(c.cipher)), plain);
    }
}

TEST(Rijndael, RoundsFollowTheLargerOfKeyAndBlock) {
    for (int key : {16, 24, 32}) {
        for (int block : {16, 24, 32}) {
            const RijndaelCipher c = Keyed(Bytes(static_cast<std::size_t>(key), 7), block);
            EXPECT_EQ(c.rounds(), std::max(key, block) / 4 + 6) << key << "/" << block;
            EXPECT_EQ(c.block_length(), block);
            EXPECT_EQ(c.key_length(), key);
        }
    }
}

// Every key and block size: deciphering undoes enciphering and the reverse, in place too,
// and the cipher actually changes the block.
TEST(Rijndael, EveryShapeRoundTrips) {
    std::mt19937 rng(2026);
    auto random_bytes = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    };
    for (int key : {16, 24, 32}) {
        for (int block : {16, 24, 32}) {
            for (int trial = 0; trial < 50; ++trial) {
                const RijndaelCipher c = Keyed(random_bytes(static_cast<std::size_t>(key)), block);
                const Bytes in = random_bytes(static_cast<std::size_t>(block));
                const Bytes enc = Encipher(c, in);
                ASSERT_NE(enc, in);
                ASSERT_EQ(Decipher(c, enc), in) << key << "/" << block;
                ASSERT_EQ(Encipher(c, Decipher(c, in)), in) << key << "/" << block;
                Bytes same = in;
                c.EncipherBlock(same.data(), same.data());
                ASSERT_EQ(same, enc);
            }
        }
    }
}

TEST(Rijndael, UnkeyedAndInvalidKeysLeaveEverythingAsItWas) {
    const Bytes key = Sequence(32);
    const Bytes chain(32, 0);
    const Bytes in = Sequence(16);
    const Bytes untouched(16, 0x5C);

    RijndaelCipher never;
    never.SetKey(key.data(), chain.data(), 20, 16);
    never.SetKey(key.data(), chain.data(), 16, 20);
    never.SetKey(nullptr, chain.data(), 16, 16);
    never.SetKey(key.data(), chain.data(), 0, 16);
    EXPECT_FALSE(never.initialised());
    Bytes out = untouched;
    never.EncipherBlock(in.data(), out.data());
    EXPECT_EQ(out, untouched);
    never.DecipherBlock(in.data(), out.data());
    EXPECT_EQ(out, untouched);

    RijndaelCipher keyed = Keyed(Sequence(16), 16);
    const Bytes before = Encipher(keyed, in);
    keyed.SetKey(FromHex("ffffffffffffffffffffffffffffffffffffffff").data(), chain.data(), 20, 16);
    keyed.SetKey(nullptr, chain.data(), 16, 16);
    keyed.SetKey(key.data(), chain.data(), 32, 31);
    EXPECT_EQ(keyed.key_length(), 16);
    EXPECT_EQ(keyed.block_length(), 16);
    EXPECT_EQ(Encipher(keyed, in), before);
    EXPECT_EQ(Decipher(keyed, before), in);
}

TEST(Rijndael, RekeyingReplacesTheWholeSchedule) {
    const Bytes in = Sequence(32);
    const Bytes key_a = FromHex("000102030405060708090a0b0c0d0e0f1011121314151617");
    const Bytes key_b = Sequence(16);

    RijndaelCipher fresh_b = Keyed(key_b, 16);
    RijndaelCipher reused = Keyed(key_a, 32);  // larger key and block first
    reused.SetKey(key_b.data(), Bytes(16, 0).data(), 16, 16);
    EXPECT_EQ(reused.rounds(), 10);
    const Bytes block(in.begin(), in.begin() + 16);
    EXPECT_EQ(Encipher(reused, block), Encipher(fresh_b, block));
    EXPECT_EQ(Decipher(reused, block), Decipher(fresh_b, block));

    // Copies are independent objects with their own schedule.
    RijndaelCipher copy = reused;
    reused.SetKey(key_a.data(), nullptr, 24, 24);
    EXPECT_EQ(Encipher(copy, block), Encipher(fresh_b, block));
}

}  // namespace
}  // namespace tlx::link
