// MDC-2 and MDC-4 (ISO/IEC 10118-2) over DES: 8-byte message blocks, a 16-byte chaining value
// (two DES-key-sized halves) that after the last block is the digest.
#pragma once

#include <cstddef>
#include <cstdint>

// Loads the initial chaining value: eight bytes 0x52, then eight bytes 0x25.
void mdc_init(uint8_t *state);
// Compress `count` whole 8-byte blocks: MDC-2 with two DES encryptions per block, MDC-4 with
// four.
void mdc2_compress(uint8_t *state, const uint8_t *blocks, size_t count);
void mdc4_compress(uint8_t *state, const uint8_t *blocks, size_t count);
