// The hash mechanisms behind the ids of the hash mechanism layer. Internal to the toolkit.
#pragma once

#include <cstddef>
#include <cstdint>

struct HashMechanism {
    uint32_t digest_size;
    uint32_t block_size;
    void (*init)(uint8_t *state);
    void (*compress)(uint8_t *state, const uint8_t *blocks, size_t count);
    // Bytes of the bit-count field in the 0x80-zeros-length padding; 0 for none.
    uint32_t length_field;
    bool little_endian_length;
    // Hashes built on a block cipher: their last block is padded by the cipher padding ids.
    bool cipher_based;
};

struct HashSizes {
    uint32_t digest_size;
    uint32_t block_size;
};

constexpr uint32_t HASHMECH_ID_COUNT = 13;

// Padding id of the block-cipher based hashes with a length field: 0x80, zeros, and the
// message length in bits as an 8-byte big-endian number in a block of its own.
constexpr uint32_t HASHMECH_PAD_LENGTH = 1959;

// Sizes reported for every id, including the ids that init refuses.
extern const HashSizes HASHMECH_SIZES[HASHMECH_ID_COUNT];

// The mechanism of an id, or nullptr for an id that init refuses.
const HashMechanism *hashmech_find(uint32_t algorithm);
