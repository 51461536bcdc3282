#include "core/link/login.h"

#include <algorithm>

#include "core/link/rijndael.h"

namespace tlx::link {
namespace {

RijndaelCipher KeyedCipher(std::string_view password) {
    const Block key = PasswordKey(password);
    const Block chain{};
    RijndaelCipher cipher;
    cipher.SetKey(key.data(), chain.data(), kBlockSize, kBlockSize);
    return cipher;
}

Block Encipher(const RijndaelCipher& cipher, const Block& in) {
    Block out{};
    cipher.EncipherBlock(in.data(), out.data());
    return out;
}

Block Decipher(const RijndaelCipher& cipher, const Block& in) {
    Block out{};
    cipher.DecipherBlock(in.data(), out.data());
    return out;
}

}  // namespace

Block PasswordKey(std::string_view password) {
    Block key{};
    const std::size_t length = password.size();
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(password[i]); };
    if (length == 0) return key;  // all zero: the server derives the same
    if (length < kBlockSize) {
        for (std::size_t i = 0; i < kBlockSize; ++i) key[i] = byte(i % length);
        return key;
    }
    for (std::size_t i = 0; i < kBlockSize; ++i) key[i] = byte(i);
    // A longer password folds its tail onto the front: the last byte onto the first, the one
    // before it onto the second, as signed bytes with the remainder taking the sum's sign.
    const std::size_t folds = std::min(length - kBlockSize, kBlockSize);
    for (std::size_t i = 0; i < folds; ++i) {
        const int a = static_cast<std::int8_t>(byte(i));
        const int b = static_cast<std::int8_t>(byte(length - 1 - i));
        key[i] = static_cast<std::uint8_t>((a + b) % 255);
    }
    return key;
}

std::uint8_t TransformChallengeByte(std::uint8_t b) {
    return static_cast<std::uint8_t>((b & 1) ? b + 2 : b - 2);
}

Block TransformChallenge(const Block& challenge) {
    Block out{};
    std::transform(challenge.begin(), challenge.end(), out.begin(), TransformChallengeByte);
    return out;
}

ServerMessage MakeLoginRequest(std::string_view user_name) {
    ServerMessage m;
    m.type = kLoginRequest;
    m.data_length = kDataSize;
    const std::size_t length = std::min(user_name.size(), kMaxLoginUserName);
    for (std::size_t i = 0; i < length; ++i) {
        const auto shifted = static_cast<std::uint8_t>(static_cast<std::uint8_t>(user_name[i]) + 1);
        if (shifted == 0) break;  // a byte 255 ends the name; the rest stays zero
        m.data[i] = shifted;
    }
    return m;
}

std::string ReadLoginRequestUser(const ServerMessage& request) {
    std::string name = request.Text();
    for (char& c : name) c = static_cast<char>(static_cast<std::uint8_t>(c) - 1);
    return name;
}

Block ComputeChallengeResponse(std::string_view password, const Block& enciphered_challenge) {
    const RijndaelCipher cipher = KeyedCipher(password);
    return Encipher(cipher, TransformChallenge(Decipher(cipher, enciphered_challenge)));
}

Block EncipherChallenge(std::string_view password, const Block& challenge) {
    return Encipher(KeyedCipher(password), challenge);
}

Block ExpectedResponse(std::string_view password, const Block& challenge) {
    return Encipher(KeyedCipher(password), TransformChallenge(challenge));
}

}  // namespace tlx::link
