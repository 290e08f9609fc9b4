// DES key schedule: permuted choice 1, the left rotations of C and D, and permuted choice 2
// through look-up tables that map 7-bit pieces of C and D straight to round-key words.
#include "crypto/des.h"

#include <array>

namespace {

// FIPS 46-3 permuted choice 1 (key bit numbers, 1 = most significant bit of byte 0).
constexpr uint8_t PC1_C[28] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                               10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36};
constexpr uint8_t PC1_D[28] = {63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                               14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
// Permuted choice 2 (bit numbers of C || D, 1 to 56).
constexpr uint8_t PC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                             26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                             51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t ROTATIONS[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

struct RoundKey {
    uint32_t word[2];
};
// PC2_TABLE[piece][v]: round-key words contributed by the 7-bit piece `piece` of C || D
// (pieces 0-3 cover C, 4-7 cover D, most significant first) holding the value v.
// Round-key bit j (0-based) feeds S-box j / 6; S-boxes 1, 3, 5, 7 go to word 0 and
// 2, 4, 6, 8 to word 1, one byte each from the top, the group's first bit as bit 5.
using Pc2Table = std::array<std::array<RoundKey, 128>, 8>;

constexpr Pc2Table make_pc2_table() {
    Pc2Table table{};
    for (int piece = 0; piece < 8; ++piece) {
        for (int v = 0; v < 128; ++v) {
            RoundKey rk{};
            for (int b = 0; b < 7; ++b) {
                if (!((v >> (6 - b)) & 1)) continue;
                const int cd_bit = piece * 7 + b + 1;
                for (int j = 0; j < 48; ++j) {
                    if (PC2[j] != cd_bit) continue;
                    const int group = j / 6;
                    const int shift = 8 * (3 - group / 2) + (5 - j % 6);
                    rk.word[group & 1] |= uint32_t{1} << shift;
                }
            }
            table[piece][v] = rk;
        }
    }
    return table;
}

constexpr Pc2Table PC2_TABLE = make_pc2_table();

uint32_t permuted_choice_1(const uint8_t key[8], const uint8_t (&choice)[28]) {
    uint32_t half = 0;
    for (uint8_t bit : choice)
        half = (half << 1) | ((key[(bit - 1) / 8] >> (7 - (bit - 1) % 8)) & 1u);
    return half;
}

uint32_t rotate28(uint32_t half, unsigned n) {
    return ((half << n) | (half >> (28 - n))) & 0x0FFFFFFFu;
}

} // namespace

void des_schedule(uint32_t schedule[DES_SCHEDULE_WORDS], const uint8_t key[8]) {
    uint32_t c = permuted_choice_1(key, PC1_C);
    uint32_t d = permuted_choice_1(key, PC1_D);
    for (int round = 0; round < 16; ++round) {
        c = rotate28(c, ROTATIONS[round]);
        d = rotate28(d, ROTATIONS[round]);
        uint32_t k0 = 0;
        uint32_t k1 = 0;
        for (int piece = 0; piece < 4; ++piece) {
            const RoundKey &from_c = PC2_TABLE[piece][(c >> (21 - 7 * piece)) & 0x7F];
            const RoundKey &from_d = PC2_TABLE[piece + 4][(d >> (21 - 7 * piece)) & 0x7F];
            k0 |= from_c.word[0] | from_d.word[0];
            k1 |= from_c.word[1] | from_d.word[1];
        }
        schedule[2 * round] = k0;
        schedule[2 * round + 1] = k1;
    }
}

void des3_2key_schedule(uint32_t schedule[2 * DES_SCHEDULE_WORDS], const uint8_t key[16]) {
    des_schedule(schedule, key);
    des_schedule(schedule + DES_SCHEDULE_WORDS, key + 8);
}

void des3_3key_schedule(uint32_t schedule[3 * DES_SCHEDULE_WORDS], const uint8_t key[24]) {
    des_schedule(schedule, key);
    des_schedule(schedule + DES_SCHEDULE_WORDS, key + 8);
    des_schedule(schedule + 2 * DES_SCHEDULE_WORDS, key + 16);
}
