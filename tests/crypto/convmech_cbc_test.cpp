// CBC through the mechanism layer with padding 1957, the form the container uses.
#include "crypto/convmech.h"
#include "crypto/errors.h"
#include "crypto/pad.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + (i >> 8));
    return v;
}

} // namespace

TEST(ConvmechCbc, NistSp80038aAes128CbcVectors) {
    // NIST SP 800-38A F.2.1 / F.2.2 (CBC-AES128), four blocks, no padding.
    const auto key = hex("2b7e151628aed2a6abf7158809cf4f3c");
    const auto iv = hex("000102030405060708090a0b0c0d0e0f");
    const auto plain = hex("6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
                           "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");
    const char *cipher = "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                         "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";
    std::vector<uint8_t> buf(plain);
    uint32_t length = uint32_t(buf.size());
    ASSERT_EQ(convmech_buffer(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, PAD_NONE, key.data(),
                              iv.data(), buf.data(), buf.data(), &length),
              0);
    EXPECT_EQ(length, 64u);
    EXPECT_EQ(to_hex(buf), cipher);
    ASSERT_EQ(convmech_buffer(CONVMECH_AES128, CONVMECH_CBC_DECRYPT, PAD_NONE, key.data(),
                              iv.data(), buf.data(), buf.data(), &length),
              0);
    EXPECT_EQ(buf, plain);
}

TEST(ConvmechCbc, StreamedLikeTheContainerDesWithLeftOver) {
    // 16384 + 5 bytes under DES: update over the chunk, final over 5 bytes gives one block
    // whose plaintext ends 00 00 03; decryption's final returns the 5 bytes.
    const auto key = hex("0123456789abcdef");
    const uint8_t iv[16] = {};
    const auto plain = pattern(16384 + 5, 1);
    std::vector<uint8_t> cipher(16384 + 8);

    ConvContext ctx;
    ASSERT_EQ(convmech_init(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, key.data(), iv), 0);
    EXPECT_EQ(ctx.block_size, 8u);
    ASSERT_EQ(convmech_update(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, plain.data(), cipher.data(),
                              16384),
              0);
    uint32_t length = 5;
    ASSERT_EQ(convmech_final(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS_COUNT,
                             plain.data() + 16384, cipher.data() + 16384, &length),
              0);
    EXPECT_EQ(length, 8u);

    ConvContext dctx;
    std::vector<uint8_t> back(16384 + 8);
    ASSERT_EQ(convmech_init(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &dctx, key.data(), iv), 0);
    ASSERT_EQ(convmech_update(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &dctx, cipher.data(), back.data(),
                              16384),
              0);
    // The raw last block, through ECB-free means: CBC-decrypt it without unpadding.
    ConvContext raw = dctx;
    uint8_t last[8];
    ASSERT_EQ(
        convmech_update(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &raw, cipher.data() + 16384, last, 8),
        0);
    EXPECT_EQ(std::memcmp(last, plain.data() + 16384, 5), 0);
    EXPECT_EQ(to_hex(last + 5, 3), "000003");

    length = 8;
    ASSERT_EQ(convmech_final(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &dctx, PAD_ZEROS_COUNT,
                             cipher.data() + 16384, back.data() + 16384, &length),
              0);
    EXPECT_EQ(length, 5u);
    back.resize(16384 + 5);
    EXPECT_EQ(back, plain);
}
