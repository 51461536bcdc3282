// Our cipher against libmcrypt's Rijndael in ECB mode: "rijndael-128/-192/-256" name the
// block length (16, 24, 32 bytes); each takes keys of 16, 24 or 32 bytes.
#include <gtest/gtest.h>
#include <mcrypt.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "link/rijndael.h"

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Mcrypt {
  public:
    Mcrypt(int block_length, const Bytes& key) {
        const std::string name = "rijndael-" + std::to_string(block_length * 8);
        td_ = mcrypt_module_open(const_cast<char*>(name.c_str()), nullptr, const_cast<char*>("ecb"),
                                 nullptr);
        if (td_ == MCRYPT_FAILED) return;
        if (mcrypt_enc_get_block_size(td_) != block_length) return;
        Bytes k = key;
        ok_ = mcrypt_generic_init(td_, k.data(), static_cast<int>(k.size()), nullptr) >= 0;
    }
    ~Mcrypt() {
        if (td_ == MCRYPT_FAILED) return;
        if (ok_) mcrypt_generic_deinit(td_);
        mcrypt_module_close(td_);
    }
    Mcrypt(const Mcrypt&) = delete;
    Mcrypt& operator=(const Mcrypt&) = delete;

    bool ok() const { return ok_; }
    Bytes Encipher(Bytes block) {
        mcrypt_generic(td_, block.data(), static_cast<int>(block.size()));
        return block;
    }
    Bytes Decipher(Bytes block) {
        mdecrypt_generic(td_, block.data(), static_cast<int>(block.size()));
        return block;
    }

  private:
    MCRYPT td_ = MCRYPT_FAILED;
    bool ok_ = false;
};

Bytes OurEncipher(const Bytes& key, const Bytes& in) {
    RijndaelCipher c;
    c.SetKey(key.data(), nullptr, static_cast<int>(key.size()), static_cast<int>(in.size()));
    Bytes out(in.size());
    c.EncipherBlock(in.data(), out.data());
    return out;
}

Bytes OurDecipher(const Bytes& key, const Bytes& in) {
    RijndaelCipher c;
    c.SetKey(key.data(), nullptr, static_cast<int>(key.size()), static_cast<int>(in.size()));
    Bytes out(in.size());
    c.DecipherBlock(in.data(), out.data());
    return out;
}

// Sanity check of the oracle itself: its 16-byte block must be AES (FIPS-197 C.1), so both
// sides read key and block bytes in the same order.
TEST(RijndaelOracle, McryptIsAesOnSixteenByteBlocks) {
    Bytes key(16), plain(16);
    for (int i = 0; i < 16; ++i) {
        key[i] = static_cast<std::uint8_t>(i);
        plain[i] = static_cast<std::uint8_t>(i * 0x11);
    }
    const Bytes expected = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                            0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
    Mcrypt m(16, key);
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(m.Encipher(plain), expected);
}

TEST(RijndaelOracle, AgreesWithMcryptOnRandomKeysAndBlocks) {
    std::mt19937 rng(4711);
    auto random_bytes = [&](int n) {
        Bytes b(static_cast<std::size_t>(n));
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    };
    for (int block : {16, 24, 32}) {
        for (int key_length : {16, 24, 32}) {
            SCOPED_TRACE(std::to_string(key_length) + "-byte key, " + std::to_string(block) +
                         "-byte block");
            for (int trial = 0; trial < 200; ++trial) {
                const Bytes key = random_bytes(key_length);
                const Bytes in = random_bytes(block);
                Mcrypt m(block, key);
                ASSERT_TRUE(m.ok());
                ASSERT_EQ(OurEncipher(key, in), m.Encipher(in)) << "trial " << trial;
                ASSERT_EQ(OurDecipher(key, in), m.Decipher(in)) << "trial " << trial;
            }
        }
    }
}

}  // namespace
}  // namespace tlx::link
