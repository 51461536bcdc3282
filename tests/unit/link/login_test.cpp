#include "link/login.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "link/rijndael.h"

namespace tlx::link {
namespace {

TEST(PasswordKey, ShortPasswordsRepeatFromTheirStart) {
    const Block key = PasswordKey("abc");
    for (std::size_t i = 0; i < kBlockSize; ++i) EXPECT_EQ(key[i], "abc"[i % 3]) << i;
    for (std::size_t i : {0u, 3u, 6u, 9u, 12u, 15u}) EXPECT_EQ(key[i], 'a');

    const Block one = PasswordKey("\xE9");
    for (std::uint8_t b : one) EXPECT_EQ(b, 0xE9);

    const std::string sixteen = "0123456789abcdef";
    const Block exact = PasswordKey(sixteen);
    EXPECT_EQ(std::string(exact.begin(), exact.end()), sixteen);

    // Documented choice: the empty password gives a key of zeros.
    EXPECT_EQ(PasswordKey(""), Block{});
}

TEST(PasswordKey, LongPasswordsFoldTheirTailOntoTheFront) {
    const std::string p17 = "ABCDEFGHIJKLMNOPQ";
    const Block k17 = PasswordKey(p17);
    EXPECT_EQ(k17[0], static_cast<std::uint8_t>('A' + 'Q'));
    for (std::size_t i = 1; i < kBlockSize; ++i) EXPECT_EQ(k17[i], p17[i]) << i;

    // Each tail byte is used once, the last with the first.
    const std::string p19 =
        "abcdefghijklmnop"
        "\x01\x02\x03";
    const Block k19 = PasswordKey(p19);
    EXPECT_EQ(k19[0], 'a' + 3);
    EXPECT_EQ(k19[1], 'b' + 2);
    EXPECT_EQ(k19[2], 'c' + 1);
    EXPECT_EQ(k19[3], 'd');

    // Tails longer than the key: all 16 positions fold, and nothing beyond them matters.
    std::string p40(40, '\0');
    for (std::size_t i = 0; i < p40.size(); ++i) p40[i] = static_cast<char>(i * 7 + 1);
    const Block k40 = PasswordKey(p40);
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        EXPECT_EQ(k40[i], static_cast<std::uint8_t>(p40[i] + p40[39 - i])) << i;
    }
}

// Every pair of first and last byte, against the rule stated in the call shop's terms: the
// low byte of the plain sum, except the two pairs whose signed sum reaches -255 or -256.
TEST(PasswordKey, SignedFoldingOfEveryBytePair) {
    std::string p(17, 'm');
    for (int first = 0; first < 256; ++first) {
        for (int last = 0; last < 256; ++last) {
            p[0] = static_cast<char>(first);
            p[16] = static_cast<char>(last);
            const int signed_sum =
                (first >= 128 ? first - 256 : first) + (last >= 128 ? last - 256 : last);
            std::uint8_t expected = static_cast<std::uint8_t>((first + last) % 256);
            if (signed_sum == -255) expected = 0;
            if (signed_sum == -256) expected = 255;
            ASSERT_EQ(PasswordKey(p)[0], expected) << first << "+" << last;
        }
    }
    p[0] = '\x80', p[16] = '\x81';
    EXPECT_EQ(PasswordKey(p)[0], 0);
    p[16] = '\x80';
    EXPECT_EQ(PasswordKey(p)[0], 255);
}

TEST(ChallengeTransform, OddUpEvenDownWithWrapAround) {
    EXPECT_EQ(TransformChallengeByte(0x00), 0xFE);
    EXPECT_EQ(TransformChallengeByte(0x01), 0x03);
    EXPECT_EQ(TransformChallengeByte(0xFE), 0xFC);
    EXPECT_EQ(TransformChallengeByte(0xFF), 0x01);
    // The transform is a bijection, so the server can check every response.
    bool seen[256] = {};
    for (int b = 0; b < 256; ++b) seen[TransformChallengeByte(static_cast<std::uint8_t>(b))] = true;
    for (bool s : seen) EXPECT_TRUE(s);
    Block in{};
    for (std::size_t i = 0; i < kBlockSize; ++i) in[i] = static_cast<std::uint8_t>(i * 17);
    const Block out = TransformChallenge(in);
    for (std::size_t i = 0; i < kBlockSize; ++i) EXPECT_EQ(out[i], TransformChallengeByte(in[i]));
}

TEST(LoginRequest, UserNameShiftedByOneAndEndedByNul) {
    const ServerMessage abc = MakeLoginRequest("abc");
    EXPECT_EQ(abc.type, kLoginRequest);
    const auto rec = abc.Encode();
    EXPECT_EQ(rec.size(), 259u);
    EXPECT_EQ(rec[0], 15);
    EXPECT_EQ(std::string(rec.begin() + 4, rec.begin() + 8), std::string("bcd\0", 4));
    EXPECT_EQ(ReadLoginRequestUser(*DecodeMessage(rec)), "abc");

    // A byte 255 becomes 0 and so ends the name there.
    const ServerMessage cut = MakeLoginRequest(
        "ab\xFF"
        "cd");
    EXPECT_EQ(cut.Text(), "bc");
    EXPECT_EQ(ReadLoginRequestUser(cut), "ab");

    // A name too long for the record is cut so its NUL still fits.
    const std::string long_name(300, 'u');
    const ServerMessage big = MakeLoginRequest(long_name);
    EXPECT_EQ(big.data[kMaxLoginUserName - 1], 'v');
    EXPECT_EQ(big.data[kMaxLoginUserName], 0);
    EXPECT_EQ(ReadLoginRequestUser(*DecodeMessage(big.Encode())), long_name.substr(0, 254));

    // Bytes that wrap the other way round trip too.
    const std::string high = "\x80\xFE\x01 Mü";
    EXPECT_EQ(ReadLoginRequestUser(MakeLoginRequest(high)), high);
}

// Both ends of the handshake agree for many passwords; a wrong password or a tampered
// challenge gives a different response.
TEST(Handshake, ConsoleResponseMatchesWhatTheServerExpects) {
    std::mt19937 rng(18);
    for (std::string password : {"", "x", "abc", "0123456789abcdef", "0123456789abcdefXYZ",
                                 "\x80\x81\xFF p\xE4ss w\xF6rd with a very long tail"}) {
        Block challenge{};
        for (auto& b : challenge) b = static_cast<std::uint8_t>(rng());
        const Block sent = EncipherChallenge(password, challenge);
        EXPECT_NE(sent, challenge);
        const Block response = ComputeChallengeResponse(password, sent);
        EXPECT_EQ(response, ExpectedResponse(password, challenge)) << password;
        EXPECT_NE(ComputeChallengeResponse(password + "!", sent), response);

        // The response is the transformed challenge under the password's key.
        RijndaelCipher cipher;
        const Block key = PasswordKey(password);
        const Block chain{};
        cipher.SetKey(key.data(), chain.data(), 16, 16);
        Block plain{};
        cipher.DecipherBlock(response.data(), plain.data());
        EXPECT_EQ(plain, TransformChallenge(challenge));
    }
}

}  // namespace
}  // namespace tlx::link
