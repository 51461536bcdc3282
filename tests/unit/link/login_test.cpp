#include "link/login.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace tlx::link {
namespace {

TEST(PasswordKey, ShortExactAndLongPasswords) {
    const Block abc = PasswordKey("abc");
    for (std::size_t i = 0; i < kBlockSize; ++i) EXPECT_EQ(abc[i], "abc"[i % 3]) << i;
    EXPECT_EQ(PasswordKey(""), Block{});  // our choice for the empty password: all zero
    const Block exact = PasswordKey("0123456789abcdef");
    EXPECT_EQ(std::string(exact.begin(), exact.end()), "0123456789abcdef");

    const std::string p17 = "ABCDEFGHIJKLMNOPQ";
    const Block k17 = PasswordKey(p17);
    EXPECT_EQ(k17[0], 'A' + 'Q');
    EXPECT_EQ(std::string(k17.begin() + 1, k17.end()), p17.substr(1, 15));

    // Each tail byte is used once, the last with the first; tails beyond 16 bytes fold all.
    for (std::size_t length : {19u, 40u}) {
        std::string p(length, '\0');
        for (std::size_t i = 0; i < length; ++i) p[i] = static_cast<char>(i * 7 + 1);
        const Block k = PasswordKey(p);
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            const auto plain = static_cast<std::uint8_t>(p[i]);
            EXPECT_EQ(k[i], i < length - 16 ? static_cast<std::uint8_t>(plain + p[length - 1 - i])
                                            : plain);
        }
    }
}

// Every first and last byte: the low byte of the plain sum, except the two pairs whose signed
// sum reaches -255 (0x80 with 0x81, giving 0) or -256 (0x80 with 0x80, giving 255).
TEST(PasswordKey, SignedFoldingOfEveryBytePair) {
    std::string p(17, 'm');
    for (int first = 0; first < 256; ++first) {
        for (int last = 0; last < 256; ++last) {
            p[0] = static_cast<char>(first);
            p[16] = static_cast<char>(last);
            const int signed_sum = (first ^ 0x80) - 0x80 + (last ^ 0x80) - 0x80;
            const int expected = signed_sum == -255   ? 0
                                 : signed_sum == -256 ? 255
                                                      : (first + last) & 0xFF;
            ASSERT_EQ(PasswordKey(p)[0], expected) << first << "+" << last;
        }
    }
}

TEST(LoginRequest, ChallengeTransformAndUserName) {
    EXPECT_EQ(TransformChallengeByte(0x00), 0xFE);
    EXPECT_EQ(TransformChallengeByte(0x01), 0x03);
    EXPECT_EQ(TransformChallengeByte(0xFE), 0xFC);
    EXPECT_EQ(TransformChallengeByte(0xFF), 0x01);

    const auto rec = MakeLoginRequest("abc").Encode();
    EXPECT_EQ(std::string(rec.begin(), rec.begin() + 8), std::string("\x0F\0\0\0bcd\0", 8));
    EXPECT_EQ(ReadLoginRequestUser(*DecodeMessage(rec)), "abc");
    EXPECT_EQ(MakeLoginRequest("ab\xFF"
                               "cd")
                  .Text(),
              "bc");  // byte 255 ends the name
    const std::string high = "\x80\xFE\x01 M\xFC";
    EXPECT_EQ(ReadLoginRequestUser(MakeLoginRequest(high)), high);

    // A name too long for the record is cut so its NUL still fits.
    const ServerMessage big = MakeLoginRequest(std::string(300, 'u'));
    EXPECT_EQ(big.Text(), std::string(kMaxLoginUserName, 'v'));
    EXPECT_EQ(big.Encode()[kShortSize + kMaxLoginUserName], 0);
}

// Both ends of the handshake agree; a wrong password gives another response.
TEST(LoginRequest, ConsoleResponseMatchesWhatTheServerExpects) {
    std::mt19937 rng(18);
    for (std::string password :
         {"", "abc", "0123456789abcdefXYZ", "\x80\x81\xFF p\xE4ss w\xF6rd, long"}) {
        Block challenge{};
        for (auto& b : challenge) b = static_cast<std::uint8_t>(rng());
        const Block sent = EncipherChallenge(password, challenge);
        EXPECT_NE(sent, challenge);
        const Block response = ComputeChallengeResponse(password, sent);
        EXPECT_EQ(response, ExpectedResponse(password, challenge)) << password;
        EXPECT_NE(response, EncipherChallenge(password, challenge));
        EXPECT_NE(ComputeChallengeResponse(password + "!", sent), response);
    }
}

}  // namespace
}  // namespace tlx::link
