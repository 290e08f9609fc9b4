// The container's ciphers, one row each: everything the engine, the trailer and the stub need
// to know of a cipher. A new cipher is a row in cipher_choice.cpp plus its toolkit code.
#pragma once

#include "crypto/pad.h"

#include <cstdint>

struct CipherChoice {
    const char *name;      // trailer field 2
    uint32_t algorithm;    // toolkit id
    uint32_t key_length;   // K
    uint32_t block_size;   // B
    uint32_t encrypt_mode; // toolkit mode ids: the container is one CBC stream
    uint32_t decrypt_mode;
    char encrypt_letter; // the engine's mode letters
    char decrypt_letter;
};

// Room for any row's key and block: key check values, chaining values, final blocks.
constexpr uint32_t CONTAINER_KEY_MAX = 16;
constexpr uint32_t CONTAINER_BLOCK_MAX = 16;
// The final block's padding: the left-over bytes, zero bytes, then the count of padding bytes.
constexpr uint32_t CONTAINER_PADDING = PAD_ZEROS_COUNT;

// nullptr for a letter that names no cipher; `encrypt` tells the direction.
const CipherChoice *cipher_for_mode(char mode, bool *encrypt);
// nullptr for a name that is no row's (exact, case-sensitive).
const CipherChoice *cipher_for_name(const char *name);

// floor(S / B) * B + K + B: the ciphertext region of a plain file of `plain_size` bytes.
uint64_t ciphertext_length(const CipherChoice &cipher, uint64_t plain_size);
