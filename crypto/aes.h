// AES (FIPS-197) with 128-, 192- and 256-bit keys: key schedules in encryption form and in
// decryption form (the equivalent inverse cipher), and table-driven block functions.
#pragma once

#include <cstdint>

constexpr uint32_t AES_BLOCK_SIZE = 16;
constexpr uint32_t AES_MAX_SCHEDULE_WORDS = 60; // (14 + 1) * 4

// Rounds for a key of 16, 24 or 32 bytes: 10, 12 or 14.
constexpr unsigned aes_rounds(unsigned key_bytes) {
    return key_bytes / 4 + 6;
}

// Encryption form: the key expansion, round key 0 first, (rounds + 1) * 4 words.
void aes_schedule_encrypt(uint32_t *schedule, const uint8_t *key, unsigned key_bytes);
// Decryption form: the expansion with InvMixColumns applied to round keys 1 to rounds - 1.
void aes_schedule_decrypt(uint32_t *schedule, const uint8_t *key, unsigned key_bytes);

// Each reads the whole input block before writing, so `in` and `out` may be one buffer.
// Encryption takes the encryption form, decryption the decryption form.
void aes_encrypt_block(const uint32_t *schedule, unsigned rounds, const uint8_t in[16],
                       uint8_t out[16]);
void aes_decrypt_block(const uint32_t *schedule, unsigned rounds, const uint8_t in[16],
                       uint8_t out[16]);
