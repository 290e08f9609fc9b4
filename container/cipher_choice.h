// The container's three ciphers: mode letters, toolkit ids, key and block sizes, trailer names.
#pragma once

#include <cstdint>

struct CipherChoice {
    uint32_t algorithm;  // toolkit id
    uint32_t key_length; // K
    uint32_t block_size; // B
    const char *name;    // trailer field 2
};

// nullptr for a letter that names no cipher; `encrypt` tells the direction.
const CipherChoice *cipher_for_mode(char mode, bool *encrypt);
// nullptr for a name that is none of "DES", "DES3", "AES" (exact).
const CipherChoice *cipher_for_name(const char *name);

// floor(S / B) * B + K + B: the ciphertext region of a plain file of `plain_size` bytes.
uint64_t ciphertext_length(const CipherChoice &cipher, uint64_t plain_size);
