// SHA-256 (FIPS 180-2): initial chaining value and compression function. The chaining value is
// kept as 32 bytes, eight big-endian words, so that after the last block it is the digest.
#pragma once

#include <cstddef>
#include <cstdint>

void sha256c_init(uint8_t *state);
// Compresses `count` whole 64-byte blocks into the chaining value.
void sha256c_compress(uint8_t *state, const uint8_t *blocks, size_t count);
