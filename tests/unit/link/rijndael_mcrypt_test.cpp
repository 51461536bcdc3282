// Our cipher against libmcrypt's Rijndael in ECB mode: "rijndael-128/-192/-256" name the
// block length (16, 24, 32 bytes); each takes keys of 16, 24 or 32 bytes.
#include <gtest/gtest.h>
#include <mcrypt.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/link/rijndael.h"

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Mcrypt(Bytes key, Bytes block, bool encipher) {
    std::string name = "rijndael-" + std::to_string(block.size() * 8);
    MCRYPT td = mcrypt_module_open(name.data(), nullptr, const_cast<char*>("ecb"), nullptr);
    if (td == MCRYPT_FAILED) {
        ADD_FAILURE() << "libmcrypt has no " << name;
        return {};
    }
    EXPECT_GE(mcrypt_generic_init(td, key.data(), static_cast<int>(key.size()), nullptr), 0);
    const int size = static_cast<int>(block.size());
    encipher ? mcrypt_generic(td, block.data(), size) : mdecrypt_generic(td, block.data(), size);
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);
    return block;
}

Bytes Ours(const Bytes& key, const Bytes& in, bool encipher) {
    RijndaelCipher c;
    c.SetKey(key.data(), nullptr, static_cast<int>(key.size()), static_cast<int>(in.size()));
    Bytes out(in.size());
    encipher ? c.EncipherBlock(in.data(), out.data()) : c.DecipherBlock(in.data(), out.data());
    return out;
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
            for (int trial = 0; trial < 200; ++trial) {
                const Bytes key = random_bytes(key_length), in = random_bytes(block);
                for (bool encipher : {true, false})
                    ASSERT_EQ(Ours(key, in, encipher), Mcrypt(key, in, encipher))
                        << key_length << "-byte key, " << block << "-byte block, #" << trial;
            }
        }
    }
}

}  // namespace
}  // namespace tlx::link
