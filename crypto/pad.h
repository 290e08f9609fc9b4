// Padding rules of the last block, by padding id.
#pragma once

#include <cstdint>

constexpr uint32_t PAD_NONE = 0;             // no last block is produced
constexpr uint32_t PAD_ZEROS = 1956;         // zero bytes; nothing to pad when no data is left
constexpr uint32_t PAD_ZEROS_COUNT = 1957;   // zero bytes, then a count byte
constexpr uint32_t PAD_ZEROS_COUNT_2 = 1958; // as 1957
constexpr uint32_t PAD_ONES_COUNT = 1960;    // 0xFF bytes, then a count byte
constexpr uint32_t PAD_PKCS7 = 1961;         // every pad byte holds the count (PKCS #5 / #7)
constexpr uint32_t PAD_ISO9797_2 = 1962;     // 0x80, then zero bytes (ISO/IEC 9797-1 method 2)

// True for an id that pad_block and unpad_length know.
bool pad_known(uint32_t padding);

// Fills `block` after its first `data_length` bytes (0 to block_size - 1) up to `block_size`
// by the rule of `padding`. Returns 1 when it padded, 0 when it did not (unknown id, a
// data length of block_size or more, or 1956 with no data byte).
int pad_block(uint8_t *block, uint32_t data_length, uint32_t block_size, uint32_t padding);
int pad_block8(uint8_t *block, uint32_t data_length, uint32_t padding);

// The number of data bytes in a decrypted last block; 0 for an unknown id. Only the last byte
// is read for the count rules, so the result exceeds block_size when that byte does.
uint32_t unpad_length(const uint8_t *block, uint32_t block_size, uint32_t padding);
uint32_t unpad_length8(const uint8_t *block, uint32_t padding);
