// SHA-1 (FIPS 180-1): initial chaining value and compression function. The chaining value is
// kept as 20 bytes, five big-endian words, so that after the last block it is the digest.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t SHAC_STATE_SIZE = 20;
constexpr uint32_t SHAC_BLOCK_SIZE = 64;

void shac_init(uint8_t *state);
// Compresses `count` whole 64-byte blocks into the chaining value.
void shac_compress(uint8_t *state, const uint8_t *blocks, size_t count);
