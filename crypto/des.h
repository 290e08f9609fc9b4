// DES and Triple-DES (FIPS 46-3, ANSI X9.52 encrypt-decrypt-encrypt) block functions over
// caller-owned key schedules. One schedule serves both directions.
#pragma once

#include <cstdint>
#include <cstdio>

// One DES schedule: 16 round keys of two words each (128 bytes). Each word holds four 6-bit
// groups of the 48-bit round key, one per byte, laid out for the round tables of desc0200.
// The schedule is a pure bit selection of the key: schedule(K ^ X) == schedule(K) ^ schedule(X).
constexpr uint32_t DES_SCHEDULE_WORDS = 32;

void des_schedule(uint32_t schedule[DES_SCHEDULE_WORDS], const uint8_t key[8]);
// Two-key: schedule of K1 (bytes 0-7), then of K2 (bytes 8-15).
void des3_2key_schedule(uint32_t schedule[2 * DES_SCHEDULE_WORDS], const uint8_t key[16]);
// Three-key: schedules of K1, K2, K3.
void des3_3key_schedule(uint32_t schedule[3 * DES_SCHEDULE_WORDS], const uint8_t key[24]);

// Block functions; `in` and `out` may be the same buffer.
void des_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);
void des_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);
void des3_2key_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);
void des3_2key_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);
void des3_3key_encrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);
void des3_3key_decrypt_block(const uint32_t *schedule, const uint8_t in[8], uint8_t out[8]);

// Self-tests. The NBS maintenance test (test numbers 0 to 3 run 3, 6, 8 or 64 rounds):
// 0 on a match, ERR_GENERAL on a mismatch or an unknown test number.
int des_maintenance_test(unsigned test_number);
// The same, printing "DES NBS Maintenance Test #n: " and one '+' or '-' per result byte.
int des_maintenance_test_print(std::FILE *stream, unsigned test_number);
// Three-key Triple-DES known answer, both directions: 0 or ERR_GENERAL.
int des3_known_answer_test();
