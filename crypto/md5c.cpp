#include "crypto/md5c.h"

#include "crypto/hash_words.h"

#include <bit>

namespace {

const uint32_t kInitial[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

// T[i] = floor(2^32 * |sin(i + 1)|).
const uint32_t kSine[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// Rotation amounts: four per round, repeated over the round's sixteen steps.
const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

} // namespace

void md5c_init(uint8_t *state) {
    for (int i = 0; i < 4; ++i)
        store_le32(state + 4 * i, kInitial[i]);
}

void md5c_compress(uint8_t *state, const uint8_t *blocks, size_t count) {
    uint32_t h[4];
    for (int i = 0; i < 4; ++i)
        h[i] = load_le32(state + 4 * i);

    for (; count > 0; --count, blocks += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = load_le32(blocks + 4 * i);

        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            const int round = i / 16;
            uint32_t f;
            int word;
            switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                word = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                word = (5 * i + 1) & 15;
                break;
            case 2:
                f = b ^ c ^ d;
                word = (3 * i + 5) & 15;
                break;
            default:
                f = c ^ (b | ~d);
                word = (7 * i) & 15;
                break;
            }
            uint32_t sum = a + f + kSine[i] + x[word];
            a = d;
            d = c;
            c = b;
            b = b + std::rotl(sum, kShift[round][i & 3]);
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }

    for (int i = 0; i < 4; ++i)
        store_le32(state + 4 * i, h[i]);
}
