// AES with the x86-64 AES instructions: key schedules, ECB and CBC over many blocks.
//
// A hardware schedule is (rounds + 1) round keys of 16 bytes in the byte order of the cipher
// state, so it equals the table-driven schedule of aes.h with every 32-bit word byte-swapped.
// The decryption form is the encryption form with InvMixColumns applied to round keys 1 to
// rounds - 1, kept in the same order (the equivalent inverse cipher of FIPS-197).
//
// Call these only when aes_ni_supported() is true; the rest of the toolkit asks
// aes_ni_selected(), which also honours QXV_AES_PORTABLE=1.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t AES_NI_SCHEDULE_SIZE = 15 * 16; // room for AES-256: 15 round keys

// The processor has the AES instructions (and SSE4.1).
bool aes_ni_supported();

// The toolkit uses the hardware path: supported, and the environment variable
// QXV_AES_PORTABLE is not "1". Decided once per process.
bool aes_ni_selected();

// Rounds for a key of 16, 24 or 32 bytes: 10, 12 or 14; 0 for any other length.
uint32_t aes_ni_rounds(uint32_t key_length);

// Writes (rounds + 1) * 16 bytes of `round_keys`. `key_length` is 16, 24 or 32.
void aes_ni_schedule_encrypt(const uint8_t *key, uint32_t key_length, uint8_t *round_keys);
void aes_ni_schedule_decrypt(const uint8_t *key, uint32_t key_length, uint8_t *round_keys);

// Turns an encryption-form schedule into the decryption form, in place.
void aes_ni_schedule_invert(uint8_t *round_keys, uint32_t rounds);

// ECB over `blocks` blocks of 16 bytes; `in` and `out` may be the same buffer.
void aes_ni_ecb_encrypt(const uint8_t *round_keys, uint32_t rounds, const uint8_t *in, uint8_t *out,
                        size_t blocks);
void aes_ni_ecb_decrypt(const uint8_t *round_keys, uint32_t rounds, const uint8_t *in, uint8_t *out,
                        size_t blocks);

// CBC over `blocks` blocks; `chaining` holds the IV (or the running value) on entry and the
// last ciphertext block on return. `in` and `out` may be the same buffer.
void aes_ni_cbc_encrypt(const uint8_t *round_keys, uint32_t rounds, uint8_t chaining[16],
                        const uint8_t *in, uint8_t *out, size_t blocks);
void aes_ni_cbc_decrypt(const uint8_t *round_keys, uint32_t rounds, uint8_t chaining[16],
                        const uint8_t *in, uint8_t *out, size_t blocks);
