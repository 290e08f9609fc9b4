#include "crypto/shac.h"

#include "crypto/hash_words.h"

#include <bit>

namespace {
const uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
} // namespace

void shac_init(uint8_t *state) {
    for (int i = 0; i < 5; ++i)
        store_be32(state + 4 * i, kInitial[i]);
}

void shac_compress(uint8_t *state, const uint8_t *blocks, size_t count) {
    uint32_t h[5];
    for (int i = 0; i < 5; ++i)
        h[i] = load_be32(state + 4 * i);

    for (; count > 0; --count, blocks += SHAC_BLOCK_SIZE) {
        // 16-word circular schedule: W[t] lives in w[t & 15].
        uint32_t w[16];
        for (int t = 0; t < 16; ++t)
            w[t] = load_be32(blocks + 4 * t);
        auto schedule = [&w](int t) {
            if (t >= 16) {
                w[t & 15] =
                    std::rotl(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
            }
            return w[t & 15];
        };

        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        auto step = [&](uint32_t f, uint32_t k, uint32_t word) {
            uint32_t temp = std::rotl(a, 5) + f + e + k + word;
            e = d;
            d = c;
            c = std::rotl(b, 30);
            b = a;
            a = temp;
        };
        // Four rounds of twenty steps, each with its own function and constant.
        for (int t = 0; t < 20; ++t)
            step((b & c) | (~b & d), 0x5A827999, schedule(t));
        for (int t = 20; t < 40; ++t)
            step(b ^ c ^ d, 0x6ED9EBA1, schedule(t));
        for (int t = 40; t < 60; ++t)
            step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, schedule(t));
        for (int t = 60; t < 80; ++t)
            step(b ^ c ^ d, 0xCA62C1D6, schedule(t));
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }

    for (int i = 0; i < 5; ++i)
        store_be32(state + 4 * i, h[i]);
}
