// The mechanism layer on whichever AES path this process selected (ctest runs the program
// once as is and once with QXV_AES_PORTABLE=1): bulk CBC and ECB over many blocks and odd
// splits against the table-driven block functions, and the layout of the context.
#include "crypto/aes.h"
#include "crypto/aes_ni.h"
#include "crypto/convmech.h"

#include "random_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

uint32_t key_length_of(uint32_t algorithm) {
    return algorithm == CONVMECH_AES192 ? 24 : algorithm == CONVMECH_AES256 ? 32 : 16;
}

// The message through convmech in updates of the given sizes (in blocks), cycling.
std::vector<uint8_t> through_convmech(uint32_t algorithm, uint32_t mode, const uint8_t *key,
                                      const uint8_t *iv, const std::vector<uint8_t> &in,
                                      const std::vector<size_t> &splits) {
    ConvContext context;
    EXPECT_EQ(convmech_init(algorithm, mode, &context, key, iv), 0);
    std::vector<uint8_t> out(in);
    size_t at = 0;
    for (size_t i = 0; at < in.size(); ++i) {
        const size_t n = std::min(16 * splits[i % splits.size()], in.size() - at);
        EXPECT_EQ(convmech_update(algorithm, mode, &context, &out[at], &out[at], uint32_t(n)), 0);
        at += n;
    }
    return out;
}

// CBC and ECB built from the table-driven block functions, one block at a time.
std::vector<uint8_t> by_table_blocks(uint32_t algorithm, uint32_t mode, const uint8_t *key,
                                     const uint8_t *iv, const std::vector<uint8_t> &in) {
    const uint32_t key_length = key_length_of(algorithm);
    const unsigned rounds = aes_rounds(key_length);
    const bool decrypting = mode == CONVMECH_CBC_DECRYPT || mode == CONVMECH_ECB_DECRYPT;
    const bool cbc = mode == CONVMECH_CBC_ENCRYPT || mode == CONVMECH_CBC_DECRYPT;
    uint32_t schedule[AES_MAX_SCHEDULE_WORDS];
    if (decrypting)
        aes_schedule_decrypt(schedule, key, key_length);
    else
        aes_schedule_encrypt(schedule, key, key_length);
    std::vector<uint8_t> out(in.size());
    uint8_t r[16], t[16];
    std::memcpy(r, iv, 16);
    for (size_t off = 0; off < in.size(); off += 16) {
        if (!decrypting) {
            for (int i = 0; i < 16; ++i)
                t[i] = uint8_t(in[off + i] ^ (cbc ? r[i] : 0));
            aes_encrypt_block(schedule, rounds, t, &out[off]);
            std::memcpy(r, &out[off], 16);
        } else {
            aes_decrypt_block(schedule, rounds, &in[off], t);
            for (int i = 0; i < 16; ++i)
                out[off + i] = uint8_t(t[i] ^ (cbc ? r[i] : 0));
            std::memcpy(r, &in[off], 16);
        }
    }
    return out;
}

const uint32_t AES_IDS[] = {CONVMECH_AES128, CONVMECH_AES128_ALT, CONVMECH_AES192, CONVMECH_AES256};
const uint32_t BULK_MODES[] = {CONVMECH_CBC_ENCRYPT, CONVMECH_CBC_DECRYPT, CONVMECH_ECB_ENCRYPT,
                               CONVMECH_ECB_DECRYPT};

TEST(ConvmechAesPaths, BulkModesMatchTheTableBlockFunctionsInAnySplit) {
    const std::vector<std::vector<size_t>> splits = {{1024}, {1}, {7, 9, 8, 1}, {17, 3}};
    for (uint32_t algorithm : AES_IDS) {
        for (uint32_t mode : BULK_MODES) {
            const auto key = random_bytes(32, algorithm * 16 + mode);
            const auto iv = random_bytes(16, 77 + mode);
            const auto data = random_bytes(16 * 1031, algorithm + mode);
            const auto expected = by_table_blocks(algorithm, mode, key.data(), iv.data(), data);
            for (const auto &split : splits)
                ASSERT_EQ(through_convmech(algorithm, mode, key.data(), iv.data(), data, split),
                          expected)
                    << "algorithm " << algorithm << " mode " << mode << " split " << split[0];
        }
    }
}

// The container engine's pattern: 16 KiB updates, then a padded final that chains on.
TEST(ConvmechAesPaths, PaddedFinalChainsOnFromTheBulk) {
    const auto key = random_bytes(16, 1);
    const uint8_t iv[16] = {};
    const auto data = random_bytes(16384 + 16, 2);
    const std::vector<uint8_t> tail = {1, 2, 3, 4, 5, 6, 7};

    ConvContext enc;
    ASSERT_EQ(convmech_init(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, &enc, key.data(), iv), 0);
    std::vector<uint8_t> cipher(data.size() + 16);
    ASSERT_EQ(convmech_update(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, &enc, data.data(),
                              cipher.data(), uint32_t(data.size())),
              0);
    uint32_t length = uint32_t(tail.size());
    ASSERT_EQ(convmech_final(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, &enc, 1957, tail.data(),
                             &cipher[data.size()], &length),
              0);
    ASSERT_EQ(length, 16u);

    std::vector<uint8_t> plain = data;
    plain.insert(plain.end(), tail.begin(), tail.end());
    plain.resize(data.size() + 16, 0);
    plain.back() = 9;
    EXPECT_EQ(cipher,
              by_table_blocks(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, key.data(), iv, plain));

    ConvContext dec;
    ASSERT_EQ(convmech_init(CONVMECH_AES128, CONVMECH_CBC_DECRYPT, &dec, key.data(), iv), 0);
    std::vector<uint8_t> back(data.size() + 16);
    ASSERT_EQ(convmech_update(CONVMECH_AES128, CONVMECH_CBC_DECRYPT, &dec, cipher.data(),
                              back.data(), uint32_t(data.size())),
              0);
    length = 16;
    ASSERT_EQ(convmech_final(CONVMECH_AES128, CONVMECH_CBC_DECRYPT, &dec, 1957,
                             &cipher[data.size()], &back[data.size()], &length),
              0);
    ASSERT_EQ(length, tail.size());
    back.resize(data.size() + length);
    EXPECT_EQ(back, std::vector<uint8_t>(plain.begin(), plain.begin() + back.size()));
}

// The hardware round keys are the table schedule's words byte-swapped, in the same form, and
// the final wipes them with the rest of the area.
TEST(ConvmechAesPaths, HardwareRoundKeysMirrorTheTableScheduleAndAreWiped) {
    if (!aes_ni_selected()) GTEST_SKIP() << "table-driven path selected";
    for (uint32_t algorithm : AES_IDS) {
        for (uint32_t mode : BULK_MODES) {
            const auto key = random_bytes(32, algorithm * 7 + mode);
            const uint8_t iv[16] = {};
            ConvContext context;
            ASSERT_EQ(convmech_init(algorithm, mode, &context, key.data(), iv), 0);
            const uint32_t words = 4 * (aes_rounds(key_length_of(algorithm)) + 1);
            for (uint32_t i = 0; i < words; ++i) {
                const uint32_t w = context.key_schedule.words[i];
                const uint8_t *hw = context.key_schedule.bytes + CONVMECH_HW_KEYS_OFFSET + 4 * i;
                ASSERT_EQ(hw[0], uint8_t(w >> 24)) << "word " << i;
                ASSERT_EQ(hw[1], uint8_t(w >> 16)) << "word " << i;
                ASSERT_EQ(hw[2], uint8_t(w >> 8)) << "word " << i;
                ASSERT_EQ(hw[3], uint8_t(w)) << "word " << i;
            }
            uint8_t tail[16] = {}, out[16];
            uint32_t length = 0;
            ASSERT_EQ(convmech_final(algorithm, mode, &context, 0, tail, out, &length), 0);
            for (uint8_t b : context.key_schedule.bytes)
                ASSERT_EQ(b, 0);
        }
    }
}

} // namespace
