#include "crypto/rmd160c.h"

#include "crypto/hash_words.h"

#include <bit>

namespace {

const uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

// Message word taken at each of the 80 steps, left and right line.
const uint8_t kWordLeft[80] = {0, 1,  2,  3,  4,  5,  6,  7,  8,  9, 10, 11, 12, 13, 14, 15,
                               7, 4,  13, 1,  10, 6,  15, 3,  12, 0, 9,  5,  2,  14, 11, 8,
                               3, 10, 14, 4,  9,  15, 8,  1,  2,  7, 0,  6,  13, 11, 5,  12,
                               1, 9,  11, 10, 0,  8,  12, 4,  13, 3, 7,  15, 14, 5,  6,  2,
                               4, 0,  5,  9,  7,  12, 2,  10, 14, 1, 3,  8,  11, 6,  15, 13};
const uint8_t kWordRight[80] = {5,  14, 7,  0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,
                                6,  11, 3,  7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,
                                15, 5,  1,  3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,
                                8,  6,  4,  1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14,
                                12, 15, 10, 4, 1, 5,  8,  7,  6,  2,  13, 14, 0,  3,  9,  11};

// Rotation at each step, left and right line.
const uint8_t kShiftLeft[80] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
                                7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
                                11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
                                11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12,
                                9,  15, 5,  11, 6,  8,  13, 12, 5,  12, 13, 14, 11, 8,  5,  6};
const uint8_t kShiftRight[80] = {8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
                                 9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
                                 9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
                                 15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8,
                                 8,  5,  12, 9,  12, 5,  14, 6,  8,  13, 6,  5,  15, 13, 11, 11};

const uint32_t kConstLeft[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
const uint32_t kConstRight[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9, 0x00000000};

// The five Boolean functions; the left line uses them in order 0..4, the right in order 4..0.
uint32_t boolean(int which, uint32_t x, uint32_t y, uint32_t z) {
    switch (which) {
    case 0:
        return x ^ y ^ z;
    case 1:
        return (x & y) | (~x & z);
    case 2:
        return (x | ~y) ^ z;
    case 3:
        return (x & z) | (y & ~z);
    default:
        return x ^ (y | ~z);
    }
}

struct Line {
    uint32_t a, b, c, d, e;

    void step(uint32_t f, uint32_t word, uint32_t k, int shift) {
        uint32_t t = std::rotl(a + f + word + k, shift) + e;
        a = e;
        e = d;
        d = std::rotl(c, 10);
        c = b;
        b = t;
    }
};

} // namespace

void rmd160c_init(uint8_t *state) {
    for (int i = 0; i < 5; ++i)
        store_le32(state + 4 * i, kInitial[i]);
}

void rmd160c_compress(uint8_t *state, const uint8_t *blocks, size_t count) {
    uint32_t h[5];
    for (int i = 0; i < 5; ++i)
        h[i] = load_le32(state + 4 * i);

    for (; count > 0; --count, blocks += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = load_le32(blocks + 4 * i);

        Line left = {h[0], h[1], h[2], h[3], h[4]};
        Line right = left;
        for (int j = 0; j < 80; ++j) {
            const int round = j / 16;
            left.step(boolean(round, left.b, left.c, left.d), x[kWordLeft[j]], kConstLeft[round],
                      kShiftLeft[j]);
            right.step(boolean(4 - round, right.b, right.c, right.d), x[kWordRight[j]],
                       kConstRight[round], kShiftRight[j]);
        }

        uint32_t t = h[1] + left.c + right.d;
        h[1] = h[2] + left.d + right.e;
        h[2] = h[3] + left.e + right.a;
        h[3] = h[4] + left.a + right.b;
        h[4] = h[0] + left.b + right.c;
        h[0] = t;
    }

    for (int i = 0; i < 5; ++i)
        store_le32(state + 4 * i, h[i]);
}
