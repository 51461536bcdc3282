#include "core/link/rijndael.h"

#include <algorithm>
#include <array>

namespace tlx::link {
namespace {

// ---- Arithmetic in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, at compile time ----

constexpr std::uint8_t XTime(std::uint8_t a) {
    return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
}

constexpr std::uint8_t Mul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1) product ^= a;
        a = XTime(a);
        b >>= 1;
    }
    return product;
}

constexpr std::uint8_t Inverse(std::uint8_t a) {
    if (a == 0) return 0;
    // a^254 = a^-1 in a field of 256 elements.
    std::uint8_t result = 1;
    std::uint8_t power = a;
    for (int e = 254; e != 0; e >>= 1) {
        if (e & 1) result = Mul(result, power);
        power = Mul(power, power);
    }
    return result;
}

constexpr std::uint8_t RotL8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::array<std::uint8_t, 256> MakeSBox() {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t b = Inverse(static_cast<std::uint8_t>(i));
        s[i] = static_cast<std::uint8_t>(b ^ RotL8(b, 1) ^ RotL8(b, 2) ^ RotL8(b, 3) ^ RotL8(b, 4) ^
                                         0x63);
    }
    return s;
}

constexpr std::array<std::uint8_t, 256> kSBox = MakeSBox();

constexpr std::array<std::uint8_t, 256> MakeInvSBox() {
    std::array<std::uint8_t, 256> inv{};
    for (int i = 0; i < 256; ++i) inv[kSBox[i]] = static_cast<std::uint8_t>(i);
    return inv;
}

constexpr std::array<std::uint8_t, 256> kInvSBox = MakeInvSBox();

constexpr std::uint32_t Word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) |
           std::uint32_t{b3};
}

constexpr std::uint32_t RotR(std::uint32_t w, int n) {
    return n == 0 ? w : (w >> n) | (w << (32 - n));
}

// Round tables: T[0][x] is the column SubBytes+MixColumns makes of byte x in row 0; the
// tables for rows 1..3 are the same words rotated right by 8, 16, 24 bits.
using Tables = std::array<std::array<std::uint32_t, 256>, 4>;

constexpr Tables MakeEncipherTables() {
    Tables t{};
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t s = kSBox[i];
        const std::uint32_t w = Word(Mul(s, 2), s, s, Mul(s, 3));
        for (int r = 0; r < 4; ++r) t[r][i] = RotR(w, 8 * r);
    }
    return t;
}

constexpr Tables MakeDecipherTables() {
    Tables t{};
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t s = kInvSBox[i];
        const std::uint32_t w = Word(Mul(s, 14), Mul(s, 9), Mul(s, 13), Mul(s, 11));
        for (int r = 0; r < 4; ++r) t[r][i] = RotR(w, 8 * r);
    }
    return t;
}

constexpr Tables kTe = MakeEncipherTables();
constexpr Tables kTd = MakeDecipherTables();

// Round constants x^(i-1) for the key expansion: 01, 02, 04, ..., 80, 1B, 36, and onward as
// far as a 32-byte block with a 16-byte key needs (i up to 29).
constexpr std::array<std::uint8_t, 30> MakeRoundConstants() {
    std::array<std::uint8_t, 30> rc{};
    std::uint8_t x = 1;
    for (std::size_t i = 1; i < rc.size(); ++i) {
        rc[i] = x;
        x = XTime(x);
    }
    return rc;
}

constexpr std::array<std::uint8_t, 30> kRoundConstant = MakeRoundConstants();

// Known points of the published tables, checked when this file is compiled.
static_assert(kSBox[0x00] == 0x63 && kSBox[0x53] == 0xED && kSBox[0xFF] == 0x16);
static_assert(kInvSBox[0x63] == 0x00 && kInvSBox[0x00] == 0x52);
static_assert(kTe[0][0x00] == 0xC66363A5u && kTd[0][0x00] == 0x51F4A750u);
static_assert(kRoundConstant[10] == 0x36 && kRoundConstant[11] == 0x6C);

constexpr std::uint8_t Byte(std::uint32_t w, int n) {  // n = 0 is the most significant
    return static_cast<std::uint8_t>(w >> (24 - 8 * n));
}

std::uint32_t SubWord(std::uint32_t w) {
    return Word(kSBox[Byte(w, 0)], kSBox[Byte(w, 1)], kSBox[Byte(w, 2)], kSBox[Byte(w, 3)]);
}

std::uint32_t InvMixColumn(std::uint32_t w) {
    // Td[r][S[x]] is InvMixColumns of byte x in row r, without the inverse substitution.
    return kTd[0][kSBox[Byte(w, 0)]] ^ kTd[1][kSBox[Byte(w, 1)]] ^ kTd[2][kSBox[Byte(w, 2)]] ^
           kTd[3][kSBox[Byte(w, 3)]];
}

bool ValidLength(int n) {
    return n == 16 || n == 24 || n == 32;
}

constexpr int kMaxWords = 8;

// Row shifts for rows 1..3 (row 0 never moves).
std::array<int, 4> Shifts(int block_words) {
    if (block_words == 8) return {0, 1, 3, 4};
    return {0, 1, 2, 3};
}

}  // namespace

void RijndaelCipher::SetKey(const std::uint8_t* key, const std::uint8_t* chain, int key_length,
                            int block_length) {
    if (key == nullptr || !ValidLength(key_length) || !ValidLength(block_length)) return;

    const int nk = key_length / 4;
    const int nb = block_length / 4;
    const int rounds = std::max(nk, nb) + 6;
    const int total = nb * (rounds + 1);

    std::vector<std::uint32_t> w(static_cast<std::size_t>(total));
    for (int i = 0; i < nk; ++i)
        w[i] = Word(key[4 * i], key[4 * i + 1], key[4 * i + 2], key[4 * i + 3]);
    for (int i = nk; i < total; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^
                   (std::uint32_t{kRoundConstant[static_cast<std::size_t>(i / nk)]} << 24);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }

    // Deciphering rows: the same words in reverse round order, with InvMixColumns on the
    // inner rounds so deciphering can use the same round structure as enciphering.
    std::vector<std::uint32_t> d(w.size());
    for (int r = 0; r <= rounds; ++r) {
        for (int j = 0; j < nb; ++j) {
            const std::uint32_t word = w[(rounds - r) * nb + j];
            d[r * nb + j] = (r == 0 || r == rounds) ? word : InvMixColumn(word);
        }
    }

    std::vector<std::uint8_t> chain_copy(static_cast<std::size_t>(block_length), 0);
    if (chain != nullptr) std::copy_n(chain, block_length, chain_copy.begin());

    // Everything is built before the object changes, so a failure cannot leave it half keyed.
    encipher_keys_ = std::move(w);
    decipher_keys_ = std::move(d);
    chain_ = chain_copy;
    chain_current_ = std::move(chain_copy);
    key_length_ = key_length;
    block_length_ = block_length;
    rounds_ = rounds;
    initialised_ = true;
}

void RijndaelCipher::EncipherBlock(const std::uint8_t* in, std::uint8_t* out) const {
    if (!initialised_ || in == nullptr || out == nullptr) return;
    const int nb = block_length_ / 4;
    const auto shift = Shifts(nb);
    const std::uint32_t* rk = encipher_keys_.data();

    std::uint32_t s[kMaxWords];
    std::uint32_t t[kMaxWords];
    for (int j = 0; j < nb; ++j)
        s[j] = Word(in[4 * j], in[4 * j + 1], in[4 * j + 2], in[4 * j + 3]) ^ rk[j];

    for (int r = 1; r < rounds_; ++r) {
        rk += nb;
        for (int j = 0; j < nb; ++j) {
            t[j] = kTe[0][Byte(s[j], 0)] ^ kTe[1][Byte(s[(j + shift[1]) % nb], 1)] ^
                   kTe[2][Byte(s[(j + shift[2]) % nb], 2)] ^
                   kTe[3][Byte(s[(j + shift[3]) % nb], 3)] ^ rk[j];
        }
        std::copy_n(t, nb, s);
    }

    rk += nb;
    for (int j = 0; j < nb; ++j) {
        const std::uint32_t v =
            Word(kSBox[Byte(s[j], 0)], kSBox[Byte(s[(j + shift[1]) % nb], 1)],
                 kSBox[Byte(s[(j + shift[2]) % nb], 2)], kSBox[Byte(s[(j + shift[3]) % nb], 3)]) ^
            rk[j];
        for (int b = 0; b < 4; ++b) out[4 * j + b] = Byte(v, b);
    }
}

void RijndaelCipher::DecipherBlock(const std::uint8_t* in, std::uint8_t* out) const {
    if (!initialised_ || in == nullptr || out == nullptr) return;
    const int nb = block_length_ / 4;
    const auto shift = Shifts(nb);
    const std::uint32_t* rk = decipher_keys_.data();

    std::uint32_t s[kMaxWords];
    std::uint32_t t[kMaxWords];
    for (int j = 0; j < nb; ++j)
        s[j] = Word(in[4 * j], in[4 * j + 1], in[4 * j + 2], in[4 * j + 3]) ^ rk[j];

    // Rows move right when deciphering: column j takes row r from column j - shift.
    for (int r = 1; r < rounds_; ++r) {
        rk += nb;
        for (int j = 0; j < nb; ++j) {
            t[j] = kTd[0][Byte(s[j], 0)] ^ kTd[1][Byte(s[(j + nb - shift[1]) % nb], 1)] ^
                   kTd[2][Byte(s[(j + nb - shift[2]) % nb], 2)] ^
                   kTd[3][Byte(s[(j + nb - shift[3]) % nb], 3)] ^ rk[j];
        }
        std::copy_n(t, nb, s);
    }

    rk += nb;
    for (int j = 0; j < nb; ++j) {
        const std::uint32_t v =
            Word(kInvSBox[Byte(s[j], 0)], kInvSBox[Byte(s[(j + nb - shift[1]) % nb], 1)],
                 kInvSBox[Byte(s[(j + nb - shift[2]) % nb], 2)],
                 kInvSBox[Byte(s[(j + nb - shift[3]) % nb], 3)]) ^
            rk[j];
        for (int b = 0; b < 4; ++b) out[4 * j + b] = Byte(v, b);
    }
}

}  // namespace tlx::link
