// The hash mechanism layer: every hash of the toolkit behind one interface keyed by an id.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t HASHMECH_MDC2 = 0;
constexpr uint32_t HASHMECH_MD5 = 2;
constexpr uint32_t HASHMECH_SHA1 = 3;
constexpr uint32_t HASHMECH_MDC4 = 5;
constexpr uint32_t HASHMECH_RIPEMD160 = 8;
constexpr uint32_t HASHMECH_SHA256 = 9;
constexpr uint32_t HASHMECH_SHA384 = 10;
constexpr uint32_t HASHMECH_SHA512 = 11;

constexpr uint32_t HASHMECH_MAX_DIGEST = 64;

// Caller-owned context.
struct alignas(8) HashContext {
    uint8_t state[64];    // chaining values; after final the digest at its start
    uint64_t block_count; // whole blocks compressed so far (64-bit: long messages)
    uint8_t buffer[128];  // input not yet compressed
    uint32_t buffered;    // bytes in buffer
    int32_t translate;    // set when a translation table was given
    uint8_t table[256];   // every input byte b is hashed as table[b] when translate is set
    uint32_t algorithm;
};

int hashmech_init(uint32_t algorithm, const uint8_t *table, HashContext *context);
int hashmech_update(uint32_t algorithm, HashContext *context, const uint8_t *data, uint32_t length);
int hashmech_final(uint32_t algorithm, HashContext *context, uint32_t padding, const uint8_t *data,
                   uint32_t length, uint8_t *digest);
int hashmech_hash(uint32_t algorithm, uint32_t padding, const uint8_t *data, uint32_t length,
                  uint8_t *digest);
int hashmech_hash_file(uint32_t algorithm, uint32_t padding, std::FILE *stream, uint8_t *digest);
uint32_t hashmech_digest_size(uint32_t algorithm);
uint32_t hashmech_block_size(uint32_t algorithm);
