// Rijndael block cipher with 16-, 24- and 32-byte keys and blocks. With a 16-byte block it
// is AES; the login handshake uses AES-128 on single blocks.
#pragma once

#include <cstdint>
#include <vector>

namespace tlx::link {

class RijndaelCipher {
  public:
    RijndaelCipher() = default;
    virtual ~RijndaelCipher() = default;
    RijndaelCipher(const RijndaelCipher&) = default;
    RijndaelCipher& operator=(const RijndaelCipher&) = default;

    // Builds both schedules. An absent key or a length other than 16, 24 or 32 returns at
    // once and leaves the object exactly as it was. An absent chain block counts as zeros.
    void SetKey(const std::uint8_t* key, const std::uint8_t* chain, int key_length,
                int block_length);
    // Both do nothing (output untouched) until a SetKey succeeded. `in` and `out` may be
    // the same block.
    void EncipherBlock(const std::uint8_t* in, std::uint8_t* out) const;
    void DecipherBlock(const std::uint8_t* in, std::uint8_t* out) const;

    bool initialised() const { return initialised_; }
    int key_length() const { return key_length_; }
    int block_length() const { return block_length_; }
    int rounds() const { return rounds_; }

  private:
    bool initialised_ = false;
    int key_length_ = 0;
    int block_length_ = 0;
    int rounds_ = 0;
    // (rounds + 1) rows of block_length / 4 words each, stored row after row.
    std::vector<std::uint32_t> encipher_keys_;
    std::vector<std::uint32_t> decipher_keys_;
    std::vector<std::uint8_t> chain_;          // as passed to SetKey
    std::vector<std::uint8_t> chain_current_;  // working copy; nothing reads it
};

}  // namespace tlx::link
