// RIPEMD-160 (ISO/IEC 10118-3): initial chaining value and compression function. The chaining
// value is kept as 20 bytes, five little-endian words, so that after the last block it is the
// digest.
#pragma once

#include <cstddef>
#include <cstdint>

void rmd160c_init(uint8_t *state);
// Compresses `count` whole 64-byte blocks into the chaining value.
void rmd160c_compress(uint8_t *state, const uint8_t *blocks, size_t count);
