// The AES-NI kernels: FIPS-197 known answers and the parallel loops against the one-block
// path (every remainder after the 8-block groups).
#include "crypto/aes_ni.h"

#include "hex.h"
#include "random_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class AesNi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!aes_ni_supported()) GTEST_SKIP() << "processor without AES instructions";
    }
};

// FIPS-197 Appendix C: plaintext 00112233...ff, key 000102...
struct Fips197Vector {
    const char *key;
    const char *cipher;
};
const Fips197Vector FIPS197_C[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089"},
};

TEST_F(AesNi, Fips197AppendixCBothDirectionsAndInPlace) {
    const auto plain = hex("00112233445566778899aabbccddeeff");
    for (const auto &v : FIPS197_C) {
        const auto key = hex(v.key);
        const auto cipher = hex(v.cipher);
        const uint32_t rounds = aes_ni_rounds(uint32_t(key.size()));
        uint8_t enc[AES_NI_SCHEDULE_SIZE], dec[AES_NI_SCHEDULE_SIZE];
        aes_ni_schedule_encrypt(key.data(), uint32_t(key.size()), enc);
        aes_ni_schedule_decrypt(key.data(), uint32_t(key.size()), dec);

        uint8_t block[16];
        aes_ni_ecb_encrypt(enc, rounds, plain.data(), block, 1);
        EXPECT_EQ(std::vector<uint8_t>(block, block + 16), cipher) << v.key;
        aes_ni_ecb_decrypt(dec, rounds, block, block, 1);
        EXPECT_EQ(std::vector<uint8_t>(block, block + 16), plain) << v.key;
    }
}

// FIPS-197 Appendix A: the last expanded word of each example key.
TEST_F(AesNi, Fips197AppendixAKeyExpansion) {
    struct {
        const char *key;
        const char *last_round_key;
    } cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c", "d014f9a8c9ee2589e13f0cc8b6630ca6"},
        {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", "e98ba06f448c773c8ecc720401002202"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "fe4890d1e6188d0b046df344706c631e"},
    };
    for (const auto &c : cases) {
        const auto key = hex(c.key);
        const uint32_t rounds = aes_ni_rounds(uint32_t(key.size()));
        uint8_t enc[AES_NI_SCHEDULE_SIZE];
        aes_ni_schedule_encrypt(key.data(), uint32_t(key.size()), enc);
        EXPECT_EQ(std::vector<uint8_t>(enc + 16 * rounds, enc + 16 * rounds + 16),
                  hex(c.last_round_key))
            << c.key;
    }
}

// CBC written out block by block with the one-block ECB path, the reference for the
// interleaved loops.
std::vector<uint8_t> cbc_by_blocks(bool encrypt, const uint8_t *rk, uint32_t rounds,
                                   const uint8_t *iv, const std::vector<uint8_t> &in) {
    std::vector<uint8_t> out(in.size());
    uint8_t r[16], t[16];
    std::memcpy(r, iv, 16);
    for (size_t off = 0; off < in.size(); off += 16) {
        if (encrypt) {
            for (int i = 0; i < 16; ++i)
                t[i] = in[off + i] ^ r[i];
            aes_ni_ecb_encrypt(rk, rounds, t, &out[off], 1);
            std::memcpy(r, &out[off], 16);
        } else {
            aes_ni_ecb_decrypt(rk, rounds, &in[off], t, 1);
            for (int i = 0; i < 16; ++i)
                out[off + i] = t[i] ^ r[i];
            std::memcpy(r, &in[off], 16);
        }
    }
    return out;
}

TEST_F(AesNi, ParallelLoopsMatchOneBlockAtATimeForEveryRemainder) {
    for (uint32_t key_length : {16u, 24u, 32u}) {
        const auto key = random_bytes(key_length, key_length);
        const auto iv = random_bytes(16, 99);
        const uint32_t rounds = aes_ni_rounds(key_length);
        uint8_t enc[AES_NI_SCHEDULE_SIZE], dec[AES_NI_SCHEDULE_SIZE];
        aes_ni_schedule_encrypt(key.data(), key_length, enc);
        aes_ni_schedule_decrypt(key.data(), key_length, dec);
        for (size_t blocks = 0; blocks <= 27; ++blocks) {
            SCOPED_TRACE("key " + std::to_string(key_length) + ", blocks " +
                         std::to_string(blocks));
            const auto plain = random_bytes(16 * blocks, uint32_t(blocks));
            const auto cipher = cbc_by_blocks(true, enc, rounds, iv.data(), plain);
            ASSERT_EQ(cbc_by_blocks(false, dec, rounds, iv.data(), cipher), plain);

            std::vector<uint8_t> buf = plain;
            uint8_t chain[16];
            std::memcpy(chain, iv.data(), 16);
            aes_ni_cbc_encrypt(enc, rounds, chain, buf.data(), buf.data(), blocks);
            EXPECT_EQ(buf, cipher);
            if (blocks) {
                EXPECT_EQ(0, std::memcmp(chain, &cipher[16 * blocks - 16], 16));
            }

            std::memcpy(chain, iv.data(), 16);
            aes_ni_cbc_decrypt(dec, rounds, chain, buf.data(), buf.data(), blocks);
            EXPECT_EQ(buf, plain);
            if (blocks) {
                EXPECT_EQ(0, std::memcmp(chain, &cipher[16 * blocks - 16], 16));
            }

            std::vector<uint8_t> ecb(plain.size()), back(plain.size());
            aes_ni_ecb_encrypt(enc, rounds, plain.data(), ecb.data(), blocks);
            aes_ni_ecb_decrypt(dec, rounds, ecb.data(), back.data(), blocks);
            EXPECT_EQ(back, plain);
            for (size_t b = 0; b < blocks; ++b) {
                uint8_t one[16];
                aes_ni_ecb_encrypt(enc, rounds, &plain[16 * b], one, 1);
                ASSERT_EQ(0, std::memcmp(one, &ecb[16 * b], 16)) << "block " << b;
            }
        }
    }
}

// A message fed in several calls gives what one call gives: the chaining value carries.
TEST_F(AesNi, CbcSplitAcrossCallsEqualsOneCall) {
    const auto key = random_bytes(16, 5);
    uint8_t enc[AES_NI_SCHEDULE_SIZE], dec[AES_NI_SCHEDULE_SIZE];
    aes_ni_schedule_encrypt(key.data(), 16, enc);
    aes_ni_schedule_decrypt(key.data(), 16, dec);
    const auto plain = random_bytes(16 * 40, 6);
    uint8_t chain[16] = {};
    std::vector<uint8_t> whole(plain.size());
    aes_ni_cbc_encrypt(enc, 10, chain, plain.data(), whole.data(), 40);

    const size_t splits[] = {3, 8, 1, 17, 11};
    std::vector<uint8_t> pieces(plain.size()), back(plain.size());
    uint8_t chain_enc[16] = {}, chain_dec[16] = {};
    size_t at = 0;
    for (size_t n : splits) {
        aes_ni_cbc_encrypt(enc, 10, chain_enc, &plain[16 * at], &pieces[16 * at], n);
        aes_ni_cbc_decrypt(dec, 10, chain_dec, &whole[16 * at], &back[16 * at], n);
        at += n;
    }
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(back, plain);
}

TEST(AesNiSelection, PortableVariableTurnsTheHardwarePathOff) {
    const char *portable = std::getenv("QXV_AES_PORTABLE");
    if (portable && std::string(portable) == "1")
        EXPECT_FALSE(aes_ni_selected());
    else
        EXPECT_EQ(aes_ni_selected(), aes_ni_supported());
}

} // namespace
