// AES-CBC against OpenSSL's libcrypto on random data: the AES-NI kernels directly, and the
// mechanism layer on whichever path this process selected (ctest runs the program once as is
// and once with QXV_AES_PORTABLE=1).
#include "crypto/aes_ni.h"
#include "crypto/convmech.h"

#include "../random_bytes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> openssl_cbc(bool encrypt, const std::vector<uint8_t> &key, const uint8_t *iv,
                                 const std::vector<uint8_t> &in) {
    const EVP_CIPHER *cipher = key.size() == 16   ? EVP_aes_128_cbc()
                               : key.size() == 24 ? EVP_aes_192_cbc()
                                                  : EVP_aes_256_cbc();
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    std::vector<uint8_t> out(in.size() + 16);
    int n = 0, m = 0;
    EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv, encrypt ? 1 : 0), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &n, in.data(), int(in.size())), 1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + n, &m), 1);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(size_t(n + m));
    return out;
}

TEST(AesOracle, KernelsMatchOpenSslCbc) {
    if (!aes_ni_supported()) GTEST_SKIP() << "processor without AES instructions";
    for (uint32_t key_length : {16u, 24u, 32u}) {
        for (size_t blocks : {1u, 7u, 8u, 9u, 1024u, 1031u}) {
            const auto key = random_bytes(key_length, uint32_t(blocks) * 3 + key_length);
            const auto iv = random_bytes(16, uint32_t(blocks) + 1000);
            const auto plain = random_bytes(16 * blocks, uint32_t(blocks) + 2000);
            const uint32_t rounds = aes_ni_rounds(key_length);
            uint8_t enc[AES_NI_SCHEDULE_SIZE], dec[AES_NI_SCHEDULE_SIZE], chain[16];
            aes_ni_schedule_encrypt(key.data(), key_length, enc);
            aes_ni_schedule_decrypt(key.data(), key_length, dec);

            std::vector<uint8_t> ours(plain.size());
            std::memcpy(chain, iv.data(), 16);
            aes_ni_cbc_encrypt(enc, rounds, chain, plain.data(), ours.data(), blocks);
            EXPECT_EQ(ours, openssl_cbc(true, key, iv.data(), plain))
                << key_length << "/" << blocks;

            const auto cipher = random_bytes(16 * blocks, uint32_t(blocks) + 3000);
            std::memcpy(chain, iv.data(), 16);
            aes_ni_cbc_decrypt(dec, rounds, chain, cipher.data(), ours.data(), blocks);
            EXPECT_EQ(ours, openssl_cbc(false, key, iv.data(), cipher))
                << key_length << "/" << blocks;
        }
    }
}

// Updates of 1024 blocks and then 3 (the engine's 16 KiB chunks and a short rest).
std::vector<uint8_t> through_convmech(uint32_t algorithm, uint32_t mode,
                                      const std::vector<uint8_t> &key, const uint8_t *iv,
                                      const std::vector<uint8_t> &in) {
    ConvContext context;
    EXPECT_EQ(convmech_init(algorithm, mode, &context, key.data(), iv), 0);
    std::vector<uint8_t> out(in.size());
    size_t at = 0;
    for (size_t n : {16384u, 48u, 0u}) {
        n = std::min(n, in.size() - at);
        EXPECT_EQ(convmech_update(algorithm, mode, &context, &in[at], &out[at], uint32_t(n)), 0);
        at += n;
    }
    return out;
}

TEST(AesOracle, MechanismLayerMatchesOpenSslCbc) {
    const struct {
        uint32_t algorithm;
        uint32_t key_length;
    } cases[] = {{CONVMECH_AES128, 16},
                 {CONVMECH_AES128_ALT, 16},
                 {CONVMECH_AES192, 24},
                 {CONVMECH_AES256, 32}};
    for (const auto &c : cases) {
        const auto key = random_bytes(c.key_length, c.algorithm + 500);
        const auto iv = random_bytes(16, c.algorithm + 600);
        const auto plain = random_bytes(16384 + 48, c.algorithm + 700);
        const auto expected = openssl_cbc(true, key, iv.data(), plain);
        EXPECT_EQ(through_convmech(c.algorithm, CONVMECH_CBC_ENCRYPT, key, iv.data(), plain),
                  expected)
            << "algorithm " << c.algorithm;
        EXPECT_EQ(through_convmech(c.algorithm, CONVMECH_CBC_DECRYPT, key, iv.data(), expected),
                  plain)
            << "algorithm " << c.algorithm;
    }
}

} // namespace
