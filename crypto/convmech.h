// The cipher mechanism layer: block ciphers by algorithm id, chaining modes by mode id and
// padding rules by padding id, behind init/update/final and two one-shot forms.
#pragma once

#include <cstdint>
#include <cstdio>

// Algorithm ids.
constexpr uint32_t CONVMECH_DES = 0;
constexpr uint32_t CONVMECH_DES3_2KEY = 1;
constexpr uint32_t CONVMECH_DES3_3KEY = 2;
constexpr uint32_t CONVMECH_AES128 = 3;
constexpr uint32_t CONVMECH_AES128_ALT = 4;
constexpr uint32_t CONVMECH_AES192 = 5;
constexpr uint32_t CONVMECH_AES256 = 6;

// Mode ids.
constexpr uint32_t CONVMECH_CBC_ENCRYPT = 0;
constexpr uint32_t CONVMECH_CBC_DECRYPT = 1;
constexpr uint32_t CONVMECH_CFB8_ENCRYPT = 2;
constexpr uint32_t CONVMECH_CFB8_DECRYPT = 3;
constexpr uint32_t CONVMECH_CFB_ENCRYPT = 4;
constexpr uint32_t CONVMECH_CFB_DECRYPT = 5;
constexpr uint32_t CONVMECH_OFB8 = 6;
constexpr uint32_t CONVMECH_CBC_MAC = 7;
constexpr uint32_t CONVMECH_X919_MAC = 8;
constexpr uint32_t CONVMECH_LENGTH_MAC = 9;
constexpr uint32_t CONVMECH_DES_MAC = 10;
constexpr uint32_t CONVMECH_ECB_ENCRYPT = 11;
constexpr uint32_t CONVMECH_ECB_DECRYPT = 12;

constexpr uint32_t CONVMECH_SCHEDULE_SIZE = 720;
// Where the AES-NI round keys of an AES context start in the key schedule area, after the
// largest table schedule (60 words); the table schedule stays at the start on either path.
constexpr uint32_t CONVMECH_HW_KEYS_OFFSET = 256;

// Caller-owned context; filled by convmech_init, key schedule area wiped by convmech_final.
struct alignas(16) ConvContext {
    union {
        uint8_t bytes[CONVMECH_SCHEDULE_SIZE];
        uint32_t words[CONVMECH_SCHEDULE_SIZE / 4];
    } key_schedule;
    uint8_t chaining[16]; // IV, then the running CBC value, CFB/OFB register or MAC
    uint32_t total;       // bytes absorbed so far (mode 9 only)
    uint32_t block_size;  // 8 for the DES family, 16 for AES
    uint32_t mode;
    uint32_t algorithm;
};

int convmech_init(uint32_t algorithm, uint32_t mode, ConvContext *context, const uint8_t *key,
                  const uint8_t *iv);
int convmech_update(uint32_t algorithm, uint32_t mode, ConvContext *context, const uint8_t *in,
                    uint8_t *out, uint32_t length);
int convmech_final(uint32_t algorithm, uint32_t mode, ConvContext *context, uint32_t padding,
                   const uint8_t *in, uint8_t *out, uint32_t *length);
int convmech_buffer(uint32_t algorithm, uint32_t mode, uint32_t padding, const uint8_t *key,
                    const uint8_t *iv, const uint8_t *in, uint8_t *out, uint32_t *length);
int convmech_file(uint32_t algorithm, uint32_t mode, uint32_t padding, const uint8_t *key,
                  const uint8_t *iv, std::FILE *in, std::FILE *out);
