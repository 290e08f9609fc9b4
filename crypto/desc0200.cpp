// DES block functions: initial and final permutation by masked swaps, 16 Feistel rounds
// driven by eight tables that merge each S-box with the permutation P.
#include "crypto/des.h"

#include <array>

namespace {

// FIPS 46-3 S-boxes, row-major: S[box][row * 16 + column].
constexpr uint8_t SBOX[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Permutation P: output bit j (1-based, 1 = most significant) is input bit P[j - 1].
constexpr uint8_t P[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                           2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint32_t rotl(uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}
constexpr uint32_t rotr(uint32_t x, unsigned n) {
    return (x >> n) | (x << (32 - n));
}

// SP[box][v]: P applied to the S-box output for the 6-bit input v, rotated left by one bit
// because the rounds keep both halves rotated that way (see des_rounds).
using SpTable = std::array<std::array<uint32_t, 64>, 8>;

constexpr SpTable make_sp_table() {
    SpTable table{};
    for (int box = 0; box < 8; ++box) {
        for (int v = 0; v < 64; ++v) {
            const int row = ((v >> 4) & 2) | (v & 1);
            const int column = (v >> 1) & 15;
            const uint32_t s = uint32_t{SBOX[box][row * 16 + column]} << (28 - 4 * box);
            uint32_t permuted = 0;
            for (int j = 0; j < 32; ++j)
                permuted |= ((s >> (32 - P[j])) & 1u) << (31 - j);
            table[box][v] = rotl(permuted, 1);
        }
    }
    return table;
}

constexpr SpTable SP = make_sp_table();

uint32_t load_be32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void store_be32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Initial permutation: leaves L0 in `left`, R0 in `right`, each rotated left by one bit.
void initial_permutation(uint32_t &left, uint32_t &right) {
    uint32_t w = ((left >> 4) ^ right) & 0x0F0F0F0Fu;
    right ^= w;
    left ^= w << 4;
    w = ((left >> 16) ^ right) & 0x0000FFFFu;
    right ^= w;
    left ^= w << 16;
    w = ((right >> 2) ^ left) & 0x33333333u;
    left ^= w;
    right ^= w << 2;
    w = ((right >> 8) ^ left) & 0x00FF00FFu;
    left ^= w;
    right ^= w << 8;
    w = ((left >> 1) ^ right) & 0x55555555u;
    right ^= w;
    left ^= w << 1;
    left = rotl(left, 1);
    right = rotl(right, 1);
}

// Final permutation of the preoutput block (left || right, each rotated left by one bit):
// the swaps of the initial permutation in reverse order.
void final_permutation(uint32_t &left, uint32_t &right) {
    left = rotr(left, 1);
    right = rotr(right, 1);
    uint32_t w = ((left >> 1) ^ right) & 0x55555555u;
    right ^= w;
    left ^= w << 1;
    w = ((right >> 8) ^ left) & 0x00FF00FFu;
    left ^= w;
    right ^= w << 8;
    w = ((right >> 2) ^ left) & 0x33333333u;
    left ^= w;
    right ^= w << 2;
    w = ((left >> 16) ^ right) & 0x0000FFFFu;
    right ^= w;
    left ^= w << 16;
    w = ((left >> 4) ^ right) & 0x0F0F0F0Fu;
    right ^= w;
    left ^= w << 4;
}

// The cipher function f(R, K), rotated left by one bit, for R held rotated left by one bit.
// Rotating R right by 3 puts the expansion groups of S-boxes 1, 3, 5, 7 in the low six bits
// of each byte; R (rotated left by 1 in all) does the same for S-boxes 2, 4, 6, 8.
inline uint32_t feistel(uint32_t right, const uint32_t *round_key) {
    const uint32_t a = rotr(right, 4) ^ round_key[0];
    const uint32_t b = right ^ round_key[1];
    return SP[0][(a >> 24) & 63] ^ SP[2][(a >> 16) & 63] ^ SP[4][(a >> 8) & 63] ^ SP[6][a & 63] ^
           SP[1][(b >> 24) & 63] ^ SP[3][(b >> 16) & 63] ^ SP[5][(b >> 8) & 63] ^ SP[7][b & 63];
}

// 16 rounds forwards (encryption) or backwards (decryption) over the schedule. On return
// `left` and `right` hold R16 and L16, the preoutput block.
template <bool Decrypt>
inline void des_rounds(const uint32_t *schedule, uint32_t &left, uint32_t &right) {
    if (!Decrypt) {
        for (int round = 0; round < 16; round += 2) {
            left ^= feistel(right, schedule + 2 * round);
            right ^= feistel(left, schedule + 2 * round + 2);
        }
    } else {
        for (int round = 15; round > 0; round -= 2) {
            left ^= feistel(right, schedule + 2 * round);
            right ^= feistel(left, schedule + 2 * round - 2);
        }
    }
    const uint32_t t = left;
    left = right;
    right = t;
}

// One DES pass, or the three passes of Triple-DES (first, second, third schedule) between a
// single initial and final permutation: FP and IP cancel between the passes.
template <bool Decrypt, bool Triple>
inline void des_block(const uint32_t *first, const uint32_t *second, const uint32_t *third,
                      const uint8_t in[8], uint8_t out[8]) {
    uint32_t left = load_be32(in);
    uint32_t right = load_be32(in + 4);
    initial_permutation(left, right);
    des_rounds<Decrypt>(first, left, right);
    if (Triple) {
        des_rounds<!Decrypt>(second, left, right);
        des_rounds<Decrypt>(third, left, right);
    }
    final_permutation(left, right);
    store_be32(out, left);
    store_be32(out + 4, right);
}

} // namespace

void des_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    des_block<false, false>(schedule, nullptr, nullptr, in, out);
}

void des_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    des_block<true, false>(schedule, nullptr, nullptr, in, out);
}

void des3_2key_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    const uint32_t *k2 = schedule + DES_SCHEDULE_WORDS;
    des_block<false, true>(schedule, k2, schedule, in, out);
}

void des3_2key_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    const uint32_t *k2 = schedule + DES_SCHEDULE_WORDS;
    des_block<true, true>(schedule, k2, schedule, in, out);
}

void des3_3key_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    const uint32_t *k2 = schedule + DES_SCHEDULE_WORDS;
    const uint32_t *k3 = schedule + 2 * DES_SCHEDULE_WORDS;
    des_block<false, true>(schedule, k2, k3, in, out);
}

void des3_3key_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]) {
    const uint32_t *k2 = schedule + DES_SCHEDULE_WORDS;
    const uint32_t *k3 = schedule + 2 * DES_SCHEDULE_WORDS;
    des_block<true, true>(k3, k2, schedule, in, out);
}
