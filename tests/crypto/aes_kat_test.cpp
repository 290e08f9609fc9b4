// AES against the example vectors of FIPS-197 Appendix C.
#include "crypto/aes.h"
#include "hex.h"

#include <gtest/gtest.h>

namespace {

struct AesVector {
    const char *key;
    const char *cipher;
};

// FIPS-197 Appendix C.1 to C.3: plaintext 00112233445566778899aabbccddeeff.
const AesVector APPENDIX_C[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089"},
};
const char *APPENDIX_C_PLAIN = "00112233445566778899aabbccddeeff";

} // namespace

TEST(AesKnownAnswer, Fips197AppendixCBothDirectionsAndInPlace) {
    for (const AesVector &v : APPENDIX_C) {
        const auto key = hex(v.key);
        const unsigned key_bytes = unsigned(key.size());
        const unsigned rounds = aes_rounds(key_bytes);
        SCOPED_TRACE(key_bytes);
        uint32_t enc[AES_MAX_SCHEDULE_WORDS];
        uint32_t dec[AES_MAX_SCHEDULE_WORDS];
        aes_schedule_encrypt(enc, key.data(), key_bytes);
        aes_schedule_decrypt(dec, key.data(), key_bytes);

        auto block = hex(APPENDIX_C_PLAIN);
        uint8_t out[16];
        aes_encrypt_block(enc, rounds, block.data(), out);
        EXPECT_EQ(to_hex(out, 16), v.cipher);
        aes_encrypt_block(enc, rounds, block.data(), block.data());
        EXPECT_EQ(to_hex(block), v.cipher);

        aes_decrypt_block(dec, rounds, block.data(), out);
        EXPECT_EQ(to_hex(out, 16), APPENDIX_C_PLAIN);
        aes_decrypt_block(dec, rounds, block.data(), block.data());
        EXPECT_EQ(to_hex(block), APPENDIX_C_PLAIN);
    }
}

TEST(AesKnownAnswer, KeyExpansionMatchesFips197AppendixA) {
    // A.1: the last round key of 2b7e1516 28aed2a6 abf71588 09cf4f3c; A.3: w[59] for the
    // 256-bit key 603deb10 ... 0914dff4.
    uint32_t w[AES_MAX_SCHEDULE_WORDS];
    const auto key128 = hex("2b7e151628aed2a6abf7158809cf4f3c");
    aes_schedule_encrypt(w, key128.data(), 16);
    EXPECT_EQ(w[40], 0xd014f9a8u);
    EXPECT_EQ(w[43], 0xb6630ca6u);
    const auto key256 = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    aes_schedule_encrypt(w, key256.data(), 32);
    EXPECT_EQ(w[8], 0x9ba35411u);
    EXPECT_EQ(w[12], 0xa8b09c1au); // i mod Nk = 4: SubWord without RotWord
    EXPECT_EQ(w[59], 0x706c631eu);
}

TEST(AesKnownAnswer, DecryptionFormIsInvMixColumnsOfInnerRoundKeys) {
    // Round keys 0 and Nr are shared by both forms; the inner ones differ.
    const auto key = hex("000102030405060708090a0b0c0d0e0f1011121314151617");
    uint32_t enc[AES_MAX_SCHEDULE_WORDS];
    uint32_t dec[AES_MAX_SCHEDULE_WORDS];
    aes_schedule_encrypt(enc, key.data(), 24);
    aes_schedule_decrypt(dec, key.data(), 24);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(enc[i], dec[i]);
        EXPECT_EQ(enc[48 + i], dec[48 + i]);
        EXPECT_NE(enc[4 + i], dec[4 + i]);
    }
}
