#include "crypto/mdc.h"

#include "crypto/des.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

struct Halves {
    uint8_t left[8];
    uint8_t right[8];
};

// E(K, x) XOR x, with K the chaining half `g` after its first byte is forced to the pattern
// `bits` (bits 2 and 3 of the key, so that the two halves never make the same key).
void encrypt_xor(const uint8_t g[8], uint8_t bits, const uint8_t x[8], uint8_t out[8],
                 uint32_t schedule[DES_SCHEDULE_WORDS]) {
    uint8_t key[8];
    std::memcpy(key, g, 8);
    key[0] = uint8_t((key[0] & 0x9F) | bits);
    des_schedule(schedule, key);
    des_encrypt_block(schedule, x, out);
    for (int i = 0; i < 8; ++i)
        out[i] ^= x[i];
    wipe_memory(key, sizeof key);
}

// One MDC-2 step: the left half keys the encryption of `x`, the right half that of `xx`; the
// right halves of the two results are swapped.
Halves step(const Halves &g, const uint8_t x[8], const uint8_t xx[8],
            uint32_t schedule[DES_SCHEDULE_WORDS]) {
    uint8_t c[8], d[8];
    encrypt_xor(g.left, 0x40, x, c, schedule);
    encrypt_xor(g.right, 0x20, xx, d, schedule);
    Halves out;
    std::memcpy(out.left, c, 4);
    std::memcpy(out.left + 4, d + 4, 4);
    std::memcpy(out.right, d, 4);
    std::memcpy(out.right + 4, c + 4, 4);
    return out;
}

Halves load(const uint8_t *state) {
    Halves h;
    std::memcpy(h.left, state, 8);
    std::memcpy(h.right, state + 8, 8);
    return h;
}

void store(uint8_t *state, const Halves &h) {
    std::memcpy(state, h.left, 8);
    std::memcpy(state + 8, h.right, 8);
}

} // namespace

void mdc_init(uint8_t *state) {
    std::memset(state, 0x52, 8);
    std::memset(state + 8, 0x25, 8);
}

void mdc2_compress(uint8_t *state, const uint8_t *blocks, size_t count) {
    uint32_t schedule[DES_SCHEDULE_WORDS];
    Halves g = load(state);
    for (; count > 0; --count, blocks += 8)
        g = step(g, blocks, blocks, schedule);
    store(state, g);
    wipe_memory(schedule, sizeof schedule);
}

// MDC-4: an MDC-2 step over the message block, then a second step keyed by its result over
// the previous chaining halves, crossed (the left key encrypts the previous right half).
void mdc4_compress(uint8_t *state, const uint8_t *blocks, size_t count) {
    uint32_t schedule[DES_SCHEDULE_WORDS];
    Halves g = load(state);
    for (; count > 0; --count, blocks += 8) {
        Halves h = step(g, blocks, blocks, schedule);
        g = step(h, g.right, g.left, schedule);
    }
    store(state, g);
    wipe_memory(schedule, sizeof schedule);
}
