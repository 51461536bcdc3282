#include "core/link/login.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tlx::link {
namespace {

std::string KeyText(std::string_view password) {
    const Block key = PasswordKey(password);
    return std::string(key.begin(), key.end());
}

TEST(PasswordKey, RepeatsShortAndFoldsLongPasswords) {
    EXPECT_EQ(PasswordKey(""), Block{});  // our choice for the empty password: all zero
    EXPECT_EQ(KeyText("abc"), "abcabcabcabcabca");
    EXPECT_EQ(KeyText("0123456789abcdef"), "0123456789abcdef");
    // Each tail byte folds onto one front byte, the last onto the first; a tail longer than
    // 16 bytes folds only its last 16.
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
    // The fold adds signed bytes and keeps the remainder modulo 255, with the sum's sign.
    const std::uint8_t folds[][3] = {
        {'A', 'Q', 'A' + 'Q'}, {0xFF, 0x01, 0x00}, {0x80, 0x81, 0x00}, {0x80, 0x80, 0xFF}};
    for (const auto& [first, last, key] : folds) {
        std::string p(17, 'm');
        p[0] = static_cast<char>(first);
        p[16] = static_cast<char>(last);
        EXPECT_EQ(PasswordKey(p)[0], key) << int{first} << "+" << int{last};
    }
}

TEST(LoginRequest, ChallengeTransformAndUserName) {
    for (const auto& [in, out] : {std::pair{0x00, 0xFE}, {0x01, 0x03}, {0xFE, 0xFC}, {0xFF, 0x01}})
        EXPECT_EQ(TransformChallengeByte(static_cast<std::uint8_t>(in)), out) << in;

    const auto rec = MakeLoginRequest("abc").Encode();
    EXPECT_EQ(std::string(rec.begin(), rec.begin() + 8), std::string("\x0F\0\0\0bcd\0", 8));
    EXPECT_EQ(ReadLoginRequestUser(*DecodeMessage(rec)), "abc");
    EXPECT_EQ(MakeLoginRequest("ab\377cd").Text(), "bc");  // byte 255 ends the name
    const std::string high = "\x80\xFE\x01 M\xFC";
    EXPECT_EQ(ReadLoginRequestUser(MakeLoginRequest(high)), high);

    // A name too long for the record is cut so its NUL still fits.
    const ServerMessage big = MakeLoginRequest(std::string(300, 'u'));
    EXPECT_EQ(big.Text(), std::string(kMaxLoginUserName, 'v'));
    EXPECT_EQ(big.Encode()[kShortSize + kMaxLoginUserName], 0);
}

}  // namespace
}  // namespace tlx::link
