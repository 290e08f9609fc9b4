// Mechanism layer properties and refusals that hold for every build: splits, in-place
// operation, key equivalences, wiping, and contexts left untouched by every refusal.
#include "crypto/convmech.h"
#include "crypto/errors.h"
#include "crypto/pad.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes random_bytes(size_t n, std::mt19937 &rng) {
    Bytes v(n);
    for (auto &x : v)
        x = uint8_t(rng());
    return v;
}

uint32_t block_of(uint32_t algorithm) {
    return algorithm <= CONVMECH_DES3_3KEY ? 8 : 16;
}

Bytes one_shot(uint32_t algorithm, uint32_t mode, uint32_t padding, const Bytes &key,
               const Bytes &iv, const Bytes &message, int *rc = nullptr) {
    Bytes out(message.size() + 16);
    uint32_t length = uint32_t(message.size());
    const int status = convmech_buffer(algorithm, mode, padding, key.data(), iv.data(),
                                       message.data(), out.data(), &length);
    if (rc) *rc = status;
    if (status != 0) return {};
    out.resize(length);
    return out;
}

// A context in use: CBC encryption with one block already through it.
ConvContext context_in_use(uint32_t algorithm, uint32_t mode) {
    const Bytes key(32, 0x3C), iv(16, 0x5A);
    ConvContext ctx;
    std::memset(&ctx, 0xEE, sizeof ctx);
    EXPECT_EQ(convmech_init(algorithm, mode, &ctx, key.data(), iv.data()), 0);
    uint8_t block[16] = {1, 2, 3}, out[16];
    EXPECT_EQ(convmech_update(algorithm, mode, &ctx, block, out, ctx.block_size), 0);
    return ctx;
}

bool same_context(const ConvContext &a, const ConvContext &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(ConvmechProperties, AnySplitIntoWholeBlocksGivesTheSameResult) {
    std::mt19937 rng(7);
    for (uint32_t algorithm : {0u, 1u, 2u, 3u, 5u, 6u}) {
        for (uint32_t mode : {0u, 1u, 4u, 5u, 7u, 11u, 12u, 2u, 6u}) {
            const uint32_t b = block_of(algorithm);
            const Bytes key = random_bytes(32, rng), iv = random_bytes(16, rng);
            const Bytes message = random_bytes(b * 40, rng);
            const bool mac = mode == 7;
            const Bytes whole = one_shot(algorithm, mode, mac ? PAD_ZEROS : 0, key, iv, message);
            ASSERT_FALSE(whole.empty());
            ConvContext ctx;
            ASSERT_EQ(convmech_init(algorithm, mode, &ctx, key.data(), iv.data()), 0);
            Bytes out(message.size() + 16);
            size_t done = 0;
            while (done < message.size()) {
                const size_t piece = std::min<size_t>((rng() % 4) * b, message.size() - done);
                ASSERT_EQ(convmech_update(algorithm, mode, &ctx, message.data() + done,
                                          out.data() + done, uint32_t(piece)),
                          0);
                done += piece;
            }
            uint32_t length = 0;
            ASSERT_EQ(convmech_final(algorithm, mode, &ctx, mac ? PAD_ZEROS : 0, nullptr,
                                     out.data(), &length),
                      0);
            out.resize(mac ? length : message.size());
            EXPECT_EQ(out, whole) << "algorithm " << algorithm << " mode " << mode;
        }
    }
}

TEST(ConvmechProperties, InPlaceEqualsOutOfPlace) {
    std::mt19937 rng(8);
    for (uint32_t algorithm = 0; algorithm <= 6; ++algorithm) {
        for (uint32_t mode : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 11u, 12u}) {
            const Bytes key = random_bytes(32, rng), iv = random_bytes(16, rng);
            const Bytes message = random_bytes(block_of(algorithm) * 9, rng);
            const Bytes expected = one_shot(algorithm, mode, 0, key, iv, message);
            Bytes buffer(message);
            buffer.resize(message.size() + 16);
            uint32_t length = uint32_t(message.size());
            ASSERT_EQ(convmech_buffer(algorithm, mode, 0, key.data(), iv.data(), buffer.data(),
                                      buffer.data(), &length),
                      0);
            buffer.resize(length);
            EXPECT_EQ(buffer, expected) << "algorithm " << algorithm << " mode " << mode;
        }
    }
}

TEST(ConvmechProperties, EqualTripleDesKeysGiveDesAndParityIsIgnored) {
    std::mt19937 rng(9);
    const Bytes k = random_bytes(8, rng), iv = random_bytes(16, rng);
    Bytes k2(k), k3(k), flipped(k);
    k2.insert(k2.end(), k.begin(), k.end());
    k3.insert(k3.end(), k2.begin(), k2.end());
    for (auto &x : flipped)
        x ^= 1;
    const Bytes message = random_bytes(77, rng);
    for (uint32_t mode : {0u, 2u, 4u, 6u}) {
        const Bytes des = one_shot(CONVMECH_DES, mode, PAD_PKCS7, k, iv, message);
        ASSERT_FALSE(des.empty());
        EXPECT_EQ(one_shot(CONVMECH_DES3_2KEY, mode, PAD_PKCS7, k2, iv, message), des);
        EXPECT_EQ(one_shot(CONVMECH_DES3_3KEY, mode, PAD_PKCS7, k3, iv, message), des);
        EXPECT_EQ(one_shot(CONVMECH_DES, mode, PAD_PKCS7, flipped, iv, message), des);
    }
}

TEST(ConvmechProperties, AlgorithmFourIsAlgorithmThree) {
    std::mt19937 rng(10);
    const Bytes key = random_bytes(16, rng), iv = random_bytes(16, rng);
    const Bytes message = random_bytes(100, rng);
    for (uint32_t mode = 0; mode <= 12; ++mode) {
        if (mode >= 8 && mode <= 10) continue; // DES-only MACs
        const uint32_t padding = mode == 1 || mode == 12 ? 0 : PAD_ISO9797_2;
        const Bytes input =
            mode == 1 || mode == 12 ? Bytes(message.begin(), message.begin() + 96) : message;
        int rc3 = -1, rc4 = -1;
        const Bytes a = one_shot(CONVMECH_AES128, mode, padding, key, iv, input, &rc3);
        const Bytes b = one_shot(CONVMECH_AES128_ALT, mode, padding, key, iv, input, &rc4);
        EXPECT_EQ(rc3, 0) << mode;
        EXPECT_EQ(rc4, 0) << mode;
        EXPECT_EQ(a, b) << mode;
    }
}

TEST(ConvmechFinal, EmptyTailWith1957AddsAWholeBlock) {
    // Seven zero bytes and 8 under DES; fifteen zero bytes and 16 under AES.
    for (uint32_t algorithm : {CONVMECH_DES, CONVMECH_AES128}) {
        const uint32_t b = block_of(algorithm);
        const Bytes key(16, 0x42), iv(16, 0);
        const Bytes cipher =
            one_shot(algorithm, CONVMECH_CBC_ENCRYPT, PAD_ZEROS_COUNT, key, iv, {});
        ASSERT_EQ(cipher.size(), b);
        const Bytes raw = one_shot(algorithm, CONVMECH_CBC_DECRYPT, PAD_NONE, key, iv, cipher);
        Bytes expected(b, 0);
        expected.back() = uint8_t(b);
        EXPECT_EQ(raw, expected);
        EXPECT_TRUE(
            one_shot(algorithm, CONVMECH_CBC_DECRYPT, PAD_ZEROS_COUNT, key, iv, cipher).empty());
    }
}

TEST(ConvmechFinal, DecryptedCountByteOfZeroAndOfNine) {
    // A last byte of 0 yields the whole block; 9 under DES counts more than a block: 32,
    // nothing written and the context still in use.
    const Bytes key = hex("0123456789abcdef"), iv(8, 0);
    for (uint8_t last : {uint8_t(0), uint8_t(9)}) {
        Bytes plain = hex("1122334455667700");
        plain.back() = last;
        const Bytes cipher = one_shot(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, PAD_NONE, key, iv, plain);
        ConvContext ctx;
        ASSERT_EQ(convmech_init(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &ctx, key.data(), iv.data()),
                  0);
        const ConvContext before = ctx;
        uint8_t out[8];
        std::memset(out, 0xCC, sizeof out);
        uint32_t length = 8;
        const int rc = convmech_final(CONVMECH_DES, CONVMECH_CBC_DECRYPT, &ctx, PAD_ZEROS_COUNT,
                                      cipher.data(), out, &length);
        if (last == 0) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(length, 8u);
            EXPECT_EQ(Bytes(out, out + 8), plain);
        } else {
            EXPECT_EQ(rc, ERR_INVALID_PARAMETER);
            EXPECT_EQ(length, 8u);
            EXPECT_EQ(to_hex(out, 8), "cccccccccccccccc");
            EXPECT_TRUE(same_context(ctx, before));
        }
    }
}

TEST(ConvmechFinal, ZeroPaddingWithNothingLeftWritesNothing) {
    const Bytes key(8, 1), iv(8, 2);
    ConvContext ctx;
    ASSERT_EQ(convmech_init(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, key.data(), iv.data()), 0);
    uint8_t out[8];
    std::memset(out, 0xCC, sizeof out);
    uint32_t length = 0;
    EXPECT_EQ(
        convmech_final(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS, out, out, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(to_hex(out, 8), "cccccccccccccccc");
}

TEST(ConvmechFinal, WipesTheKeyAndKeepsTheLastCipherBlock) {
    for (uint32_t algorithm = 0; algorithm <= 6; ++algorithm) {
        const Bytes key(32, 0x77), iv(16, 0x01);
        ConvContext ctx;
        ASSERT_EQ(convmech_init(algorithm, CONVMECH_CBC_ENCRYPT, &ctx, key.data(), iv.data()), 0);
        uint8_t in[16] = {9, 8, 7}, out[16];
        uint32_t length = 3;
        ASSERT_EQ(convmech_final(algorithm, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS_COUNT, in, out,
                                 &length),
                  0);
        for (uint8_t byte : ctx.key_schedule.bytes)
            ASSERT_EQ(byte, 0) << algorithm;
        EXPECT_EQ(std::memcmp(ctx.chaining, out, length), 0);
        // The finished context is not reusable: its wiped key must never encrypt anything.
        EXPECT_EQ(convmech_update(algorithm, CONVMECH_CBC_ENCRYPT, &ctx, in, out, length),
                  ERR_INVALID_PARAMETER);
        length = 0;
        EXPECT_EQ(convmech_final(algorithm, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS_COUNT, in, out,
                                 &length),
                  ERR_INVALID_PARAMETER);
    }
}

TEST(ConvmechRefusals, InitRefusesBeforeTouchingTheContext) {
    const Bytes key(32, 1), iv(16, 2);
    struct Bad {
        uint32_t algorithm, mode;
    };
    const Bad bad[] = {{7, 0}, {100, 1}, {0, 13}, {3, 0xFFFFFFFFu}, {1, 8},
                       {3, 8}, {2, 9},   {3, 9},  {1, 10},          {6, 10}};
    for (const Bad &b : bad) {
        ConvContext ctx, before;
        std::memset(&ctx, 0xA5, sizeof ctx);
        before = ctx;
        EXPECT_EQ(convmech_init(b.algorithm, b.mode, &ctx, key.data(), iv.data()),
                  ERR_INVALID_PARAMETER)
            << b.algorithm << "/" << b.mode;
        EXPECT_TRUE(same_context(ctx, before));
    }
}

TEST(ConvmechRefusals, WrongIdsAndLengthsLeaveTheContextUnchanged) {
    ConvContext ctx = context_in_use(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT);
    const ConvContext before = ctx;
    uint8_t in[48] = {}, out[48];
    EXPECT_EQ(convmech_update(CONVMECH_AES192, CONVMECH_CBC_ENCRYPT, &ctx, in, out, 16),
              ERR_INVALID_PARAMETER);
    EXPECT_EQ(convmech_update(CONVMECH_AES128_ALT, CONVMECH_CBC_ENCRYPT, &ctx, in, out, 16),
              ERR_INVALID_PARAMETER);
    EXPECT_EQ(convmech_update(CONVMECH_AES128, CONVMECH_ECB_ENCRYPT, &ctx, in, out, 16),
              ERR_INVALID_PARAMETER);
    EXPECT_EQ(convmech_update(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, &ctx, in, out, 17),
              ERR_INVALID_PARAMETER);
    uint32_t length = 16; // a whole block is too long for an encrypting final
    EXPECT_EQ(convmech_final(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS_COUNT, in, out,
                             &length),
              ERR_INVALID_PARAMETER);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(convmech_final(CONVMECH_AES128, CONVMECH_CBC_DECRYPT, &ctx, PAD_ZEROS_COUNT, in, out,
                             &length),
              ERR_INVALID_PARAMETER);
    EXPECT_TRUE(same_context(ctx, before));
}

TEST(ConvmechRefusals, DesTailOfEightBytesIsRefused) {
    ConvContext ctx = context_in_use(CONVMECH_DES, CONVMECH_CBC_ENCRYPT);
    const ConvContext before = ctx;
    uint8_t in[8] = {}, out[8];
    uint32_t length = 8;
    EXPECT_EQ(
        convmech_final(CONVMECH_DES, CONVMECH_CBC_ENCRYPT, &ctx, PAD_ZEROS_COUNT, in, out, &length),
        ERR_INVALID_PARAMETER);
    EXPECT_TRUE(same_context(ctx, before));
}

TEST(ConvmechRefusals, UnknownPaddingIsRefusedInEveryFinalThatPadsOrUnpads) {
    struct Use {
        uint32_t algorithm, mode, tail;
    };
    const Use uses[] = {{CONVMECH_DES, CONVMECH_CBC_ENCRYPT, 3},
                        {CONVMECH_AES128, CONVMECH_CBC_DECRYPT, 16},
                        {CONVMECH_DES3_2KEY, CONVMECH_ECB_ENCRYPT, 0},
                        {CONVMECH_AES256, CONVMECH_ECB_DECRYPT, 16},
                        {CONVMECH_AES128, CONVMECH_CBC_MAC, 5},
                        {CONVMECH_DES, CONVMECH_X919_MAC, 5},
                        {CONVMECH_DES, CONVMECH_DES_MAC, 5}};
    for (const Use &u : uses) {
        for (uint32_t padding : {1959u, 1955u, 1963u, 2000u}) {
            ConvContext ctx = context_in_use(u.algorithm, u.mode);
            const ConvContext before = ctx;
            uint8_t in[16] = {1, 2, 3, 4, 5}, out[16];
            std::memset(out, 0xCC, sizeof out);
            uint32_t length = u.tail;
            EXPECT_EQ(convmech_final(u.algorithm, u.mode, &ctx, padding, in, out, &length),
                      ERR_INVALID_PARAMETER)
                << u.mode << "/" << padding;
            EXPECT_EQ(length, u.tail);
            EXPECT_EQ(to_hex(out, 16), std::string(32, 'c'));
            EXPECT_TRUE(same_context(ctx, before));
        }
    }
    const Bytes key(16, 3), iv(16, 4);
    int rc = 0;
    one_shot(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, 1959, key, iv, Bytes(40, 1), &rc);
    EXPECT_EQ(rc, ERR_INVALID_PARAMETER);
}

TEST(ConvmechRefusals, TailsThatWouldBeDroppedAreRefused) {
    uint8_t in[40] = {}, out[40];
    struct Use {
        uint32_t algorithm, mode, padding, tail;
    };
    const Use uses[] = {
        {CONVMECH_AES128, CONVMECH_CFB_ENCRYPT, 0, 17}, // more than one block
        {CONVMECH_DES, CONVMECH_CFB_DECRYPT, 0, 9},
        {CONVMECH_DES, CONVMECH_CBC_ENCRYPT, PAD_NONE, 3}, // unpadded tail
        {CONVMECH_DES, CONVMECH_CBC_MAC, PAD_NONE, 3},     // a tail the MAC would not cover
        {CONVMECH_AES128, CONVMECH_CBC_DECRYPT, PAD_ZEROS_COUNT, 8}, // not a whole block
        {CONVMECH_DES, CONVMECH_X919_MAC, PAD_ZEROS, 8},
    };
    for (const Use &u : uses) {
        ConvContext ctx = context_in_use(u.algorithm, u.mode);
        const ConvContext before = ctx;
        uint32_t length = u.tail;
        EXPECT_EQ(convmech_final(u.algorithm, u.mode, &ctx, u.padding, in, out, &length),
                  ERR_INVALID_PARAMETER)
            << u.mode;
        EXPECT_TRUE(same_context(ctx, before));
    }
}

TEST(ConvmechRefusals, OneShotSplitRules) {
    const Bytes key(32, 5), iv(16, 6);
    struct Use {
        uint32_t algorithm, mode, padding;
        size_t length;
    };
    const Use refused[] = {
        {CONVMECH_DES, CONVMECH_CBC_ENCRYPT, PAD_NONE, 9},
        {CONVMECH_DES, CONVMECH_CBC_DECRYPT, PAD_ZEROS_COUNT, 12},
        {CONVMECH_DES, CONVMECH_CBC_DECRYPT, PAD_ZEROS_COUNT, 0},
        {CONVMECH_AES128, CONVMECH_CBC_MAC, PAD_NONE, 32},
        {CONVMECH_DES, CONVMECH_X919_MAC, PAD_ZEROS_COUNT, 8},
        {CONVMECH_DES, CONVMECH_DES_MAC, PAD_PKCS7, 8},
    };
    for (const Use &u : refused) {
        int rc = 0;
        one_shot(u.algorithm, u.mode, u.padding, key, iv, Bytes(u.length, 1), &rc);
        EXPECT_EQ(rc, ERR_INVALID_PARAMETER) << u.mode << "/" << u.padding;
    }
    // Byte-wise modes keep the length; MAC modes return the MAC length.
    int rc = -1;
    EXPECT_EQ(one_shot(CONVMECH_DES, CONVMECH_CFB8_ENCRYPT, 0, key, iv, Bytes(13, 1), &rc).size(),
              13u);
    EXPECT_EQ(one_shot(CONVMECH_DES3_2KEY, CONVMECH_LENGTH_MAC, 0, key, iv, Bytes(13, 1)).size(),
              8u);
    EXPECT_EQ(one_shot(CONVMECH_AES256, CONVMECH_CBC_MAC, PAD_PKCS7, key, iv, Bytes(13, 1)).size(),
              16u);
}

TEST(ConvmechFile, SameAsTheBufferAndShortWritesAreReported) {
    std::mt19937 rng(11);
    const Bytes key = random_bytes(16, rng), iv = random_bytes(16, rng);
    const Bytes message = random_bytes(10000, rng);
    const Bytes expected =
        one_shot(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, PAD_ZEROS_COUNT, key, iv, message);

    std::FILE *in = std::tmpfile();
    std::FILE *out = std::tmpfile();
    ASSERT_TRUE(in && out);
    ASSERT_EQ(std::fwrite(message.data(), 1, message.size(), in), message.size());
    std::rewind(in);
    ASSERT_EQ(convmech_file(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, PAD_ZEROS_COUNT, key.data(),
                            iv.data(), in, out),
              0);
    Bytes written(size_t(std::ftell(out)));
    std::rewind(out);
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), out), written.size());
    EXPECT_EQ(written, expected);
    std::fclose(out);

    // An output stream that cannot be written.
    const std::string path = std::string(QXV_BINARY_DIR) + "/convmech_readonly.bin";
    std::FILE *create = std::fopen(path.c_str(), "wb");
    ASSERT_NE(create, nullptr);
    std::fclose(create);
    std::FILE *readonly = std::fopen(path.c_str(), "rb");
    ASSERT_NE(readonly, nullptr);
    std::rewind(in);
    EXPECT_EQ(convmech_file(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT, PAD_ZEROS_COUNT, key.data(),
                            iv.data(), in, readonly),
              ERR_FILE_IO);
    std::fclose(readonly);
    std::fclose(in);
    std::remove(path.c_str());
}
