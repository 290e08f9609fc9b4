// Messages of 2^29 bytes and more: their bit count no longer fits 32 bits, and the padding must
// carry all of it. Expected values from Python's hashlib (OpenSSL).
#include "hash_test_util.h"

#include <gtest/gtest.h>

namespace {
std::string zeros_hex(uint32_t algorithm, size_t mebibytes, size_t extra) {
    static const uint8_t zeros[1 << 20] = {};
    HashContext context;
    EXPECT_EQ(hashmech_init(algorithm, nullptr, &context), 0);
    for (size_t i = 0; i < mebibytes; ++i) {
        EXPECT_EQ(hashmech_update(algorithm, &context, zeros, sizeof zeros), 0);
    }
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_final(algorithm, &context, 0, zeros, uint32_t(extra), digest), 0);
    return to_hex(digest, hashmech_digest_size(algorithm));
}
} // namespace

// 2^29 + 1 bytes of zeros: 2^32 + 8 bits. SHA-1, the hash the system uses, runs in every test
// run (about a second); the others take as long each and run on request
// (--gtest_also_run_disabled_tests).
TEST(LongMessages, Sha1BitCountBeyond32Bits) {
    EXPECT_EQ(zeros_hex(HASHMECH_SHA1, 512, 1), "3e1bb536d18494c32e66ef9f479d65bbe0d863de");
}

TEST(LongMessages, DISABLED_OtherHashesBitCountBeyond32Bits) {
    EXPECT_EQ(zeros_hex(HASHMECH_MD5, 512, 1), "ea3b62c6b93cb3625a1fd76777985f5a");
    EXPECT_EQ(zeros_hex(HASHMECH_RIPEMD160, 512, 1), "82e97d3b733eea431f15942414f3274e447ff461");
    EXPECT_EQ(zeros_hex(HASHMECH_SHA512, 512, 1),
              "8165468866efe161e7d5394bcb5a72bb5dd30e8584ce00a5f87a89c861464ae5"
              "ee9bfbbe542d3a80f86f83f2ebeaf2757beffc96e4c0431395bd94284f3c766e");
}
