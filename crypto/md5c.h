// MD5 (RFC 1321): initial chaining value and compression function. The chaining value is kept
// as 16 bytes, four little-endian words, so that after the last block it is the digest.
#pragma once

#include <cstddef>
#include <cstdint>

void md5c_init(uint8_t *state);
// Compresses `count` whole 64-byte blocks into the chaining value.
void md5c_compress(uint8_t *state, const uint8_t *blocks, size_t count);
