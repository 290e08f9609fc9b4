// SHA-512 and SHA-384 (FIPS 180-2): one compression function, two initial chaining values. The
// chaining value is kept as 64 bytes, eight big-endian words; SHA-384's digest is its first 48.
#pragma once

#include <cstddef>
#include <cstdint>

void sha512c_init(uint8_t *state);
void sha384c_init(uint8_t *state);
// Compresses `count` whole 128-byte blocks into the chaining value.
void sha512c_compress(uint8_t *state, const uint8_t *blocks, size_t count);
