// AES block functions on four big-endian column words, with round tables that merge
// SubBytes with MixColumns (and InvSubBytes with InvMixColumns). Every table is computed
// at compile time from the field arithmetic of FIPS-197.
#include "crypto/aes.h"

#include <array>

namespace {

using Bytes = std::array<uint8_t, 256>;
using Words = std::array<uint32_t, 256>;

constexpr uint8_t xtime(uint8_t a) {
    return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
}

constexpr uint8_t gf_mul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1) product ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return product;
}

constexpr uint8_t rotl8(uint8_t x, unsigned n) {
    return uint8_t((x << n) | (x >> (8 - n)));
}

// SubBytes: the multiplicative inverse in GF(2^8) (0 maps to 0), then the affine transform.
constexpr Bytes make_sbox() {
    Bytes sbox{};
    for (int x = 0; x < 256; ++x) {
        uint8_t inverse = 0;
        for (int y = 1; y < 256 && x != 0; ++y) {
            if (gf_mul(uint8_t(x), uint8_t(y)) == 1) {
                inverse = uint8_t(y);
                break;
            }
        }
        sbox[x] = uint8_t(inverse ^ rotl8(inverse, 1) ^ rotl8(inverse, 2) ^ rotl8(inverse, 3) ^
                          rotl8(inverse, 4) ^ 0x63);
    }
    return sbox;
}

constexpr Bytes SBOX = make_sbox();

constexpr Bytes make_inverse_sbox() {
    Bytes inverse{};
    for (int x = 0; x < 256; ++x)
        inverse[SBOX[x]] = uint8_t(x);
    return inverse;
}

constexpr Bytes INV_SBOX = make_inverse_sbox();

constexpr uint32_t rotr(uint32_t x, unsigned n) {
    return n ? (x >> n) | (x << (32 - n)) : x;
}

constexpr uint32_t column(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    return (uint32_t{b0} << 24) | (uint32_t{b1} << 16) | (uint32_t{b2} << 8) | b3;
}

// One column of MixColumns (coefficients 2 1 1 3) or InvMixColumns (14 9 13 11) for a single
// input byte in row 0, optionally after the (inverse) S-box; the tables for rows 1 to 3 are
// byte rotations of it.
enum class TableKind { Encrypt, Decrypt, KeyInvMix };

constexpr std::array<Words, 4> make_round_tables(TableKind kind) {
    std::array<Words, 4> tables{};
    for (int x = 0; x < 256; ++x) {
        uint32_t word = 0;
        if (kind == TableKind::Encrypt) {
            const uint8_t s = SBOX[x];
            word = column(gf_mul(s, 2), s, s, gf_mul(s, 3));
        } else {
            const uint8_t s = kind == TableKind::Decrypt ? INV_SBOX[x] : uint8_t(x);
            word = column(gf_mul(s, 14), gf_mul(s, 9), gf_mul(s, 13), gf_mul(s, 11));
        }
        for (int row = 0; row < 4; ++row)
            tables[row][x] = rotr(word, 8 * row);
    }
    return tables;
}

constexpr std::array<Words, 4> TE = make_round_tables(TableKind::Encrypt);
constexpr std::array<Words, 4> TD = make_round_tables(TableKind::Decrypt);
constexpr std::array<Words, 4> TK = make_round_tables(TableKind::KeyInvMix);

constexpr uint8_t RCON[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

inline uint32_t load_be32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline void store_be32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

inline uint32_t sub_word(uint32_t w) {
    return column(SBOX[w >> 24], SBOX[(w >> 16) & 0xFF], SBOX[(w >> 8) & 0xFF], SBOX[w & 0xFF]);
}

inline uint8_t byte(uint32_t w, unsigned index) {
    return uint8_t(w >> (24 - 8 * index));
}

} // namespace

void aes_schedule_encrypt(uint32_t *schedule, const uint8_t *key, unsigned key_bytes) {
    const unsigned nk = key_bytes / 4;
    const unsigned words = 4 * (aes_rounds(key_bytes) + 1);
    for (unsigned i = 0; i < nk; ++i)
        schedule[i] = load_be32(key + 4 * i);
    for (unsigned i = nk; i < words; ++i) {
        uint32_t temp = schedule[i - 1];
        if (i % nk == 0)
            temp = sub_word((temp << 8) | (temp >> 24)) ^ (uint32_t{RCON[i / nk - 1]} << 24);
        else if (nk > 6 && i % nk == 4)
            temp = sub_word(temp);
        schedule[i] = schedule[i - nk] ^ temp;
    }
}

void aes_schedule_decrypt(uint32_t *schedule, const uint8_t *key, unsigned key_bytes) {
    aes_schedule_encrypt(schedule, key, key_bytes);
    const unsigned rounds = aes_rounds(key_bytes);
    for (unsigned i = 4; i < 4 * rounds; ++i) {
        const uint32_t w = schedule[i];
        schedule[i] = TK[0][byte(w, 0)] ^ TK[1][byte(w, 1)] ^ TK[2][byte(w, 2)] ^ TK[3][byte(w, 3)];
    }
}

void aes_encrypt_block(const uint32_t *schedule, unsigned rounds, const uint8_t in[16],
                       uint8_t out[16]) {
    const uint32_t *rk = schedule;
    uint32_t s0 = load_be32(in) ^ rk[0];
    uint32_t s1 = load_be32(in + 4) ^ rk[1];
    uint32_t s2 = load_be32(in + 8) ^ rk[2];
    uint32_t s3 = load_be32(in + 12) ^ rk[3];
    for (unsigned round = 1; round < rounds; ++round) {
        rk += 4;
        // Row r of the new column c comes from column c + r (ShiftRows).
        const uint32_t t0 = TE[0][byte(s0, 0)] ^ TE[1][byte(s1, 1)] ^ TE[2][byte(s2, 2)] ^
                            TE[3][byte(s3, 3)] ^ rk[0];
        const uint32_t t1 = TE[0][byte(s1, 0)] ^ TE[1][byte(s2, 1)] ^ TE[2][byte(s3, 2)] ^
                            TE[3][byte(s0, 3)] ^ rk[1];
        const uint32_t t2 = TE[0][byte(s2, 0)] ^ TE[1][byte(s3, 1)] ^ TE[2][byte(s0, 2)] ^
                            TE[3][byte(s1, 3)] ^ rk[2];
        const uint32_t t3 = TE[0][byte(s3, 0)] ^ TE[1][byte(s0, 1)] ^ TE[2][byte(s1, 2)] ^
                            TE[3][byte(s2, 3)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    store_be32(out,
               column(SBOX[byte(s0, 0)], SBOX[byte(s1, 1)], SBOX[byte(s2, 2)], SBOX[byte(s3, 3)]) ^
                   rk[0]);
    store_be32(out + 4,
               column(SBOX[byte(s1, 0)], SBOX[byte(s2, 1)], SBOX[byte(s3, 2)], SBOX[byte(s0, 3)]) ^
                   rk[1]);
    store_be32(out + 8,
               column(SBOX[byte(s2, 0)], SBOX[byte(s3, 1)], SBOX[byte(s0, 2)], SBOX[byte(s1, 3)]) ^
                   rk[2]);
    store_be32(out + 12,
               column(SBOX[byte(s3, 0)], SBOX[byte(s0, 1)], SBOX[byte(s1, 2)], SBOX[byte(s2, 3)]) ^
                   rk[3]);
}

void aes_decrypt_block(const uint32_t *schedule, unsigned rounds, const uint8_t in[16],
                       uint8_t out[16]) {
    const uint32_t *rk = schedule + 4 * rounds;
    uint32_t s0 = load_be32(in) ^ rk[0];
    uint32_t s1 = load_be32(in + 4) ^ rk[1];
    uint32_t s2 = load_be32(in + 8) ^ rk[2];
    uint32_t s3 = load_be32(in + 12) ^ rk[3];
    for (unsigned round = 1; round < rounds; ++round) {
        rk -= 4;
        // Row r of the new column c comes from column c - r (InvShiftRows).
        const uint32_t t0 = TD[0][byte(s0, 0)] ^ TD[1][byte(s3, 1)] ^ TD[2][byte(s2, 2)] ^
                            TD[3][byte(s1, 3)] ^ rk[0];
        const uint32_t t1 = TD[0][byte(s1, 0)] ^ TD[1][byte(s0, 1)] ^ TD[2][byte(s3, 2)] ^
                            TD[3][byte(s2, 3)] ^ rk[1];
        const uint32_t t2 = TD[0][byte(s2, 0)] ^ TD[1][byte(s1, 1)] ^ TD[2][byte(s0, 2)] ^
                            TD[3][byte(s3, 3)] ^ rk[2];
        const uint32_t t3 = TD[0][byte(s3, 0)] ^ TD[1][byte(s2, 1)] ^ TD[2][byte(s1, 2)] ^
                            TD[3][byte(s0, 3)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk -= 4;
    store_be32(out, column(INV_SBOX[byte(s0, 0)], INV_SBOX[byte(s3, 1)], INV_SBOX[byte(s2, 2)],
                           INV_SBOX[byte(s1, 3)]) ^
                        rk[0]);
    store_be32(out + 4, column(INV_SBOX[byte(s1, 0)], INV_SBOX[byte(s0, 1)], INV_SBOX[byte(s3, 2)],
                               INV_SBOX[byte(s2, 3)]) ^
                            rk[1]);
    store_be32(out + 8, column(INV_SBOX[byte(s2, 0)], INV_SBOX[byte(s1, 1)], INV_SBOX[byte(s0, 2)],
                               INV_SBOX[byte(s3, 3)]) ^
                            rk[2]);
    store_be32(out + 12, column(INV_SBOX[byte(s3, 0)], INV_SBOX[byte(s2, 1)], INV_SBOX[byte(s1, 2)],
                                INV_SBOX[byte(s0, 3)]) ^
                             rk[3]);
}
