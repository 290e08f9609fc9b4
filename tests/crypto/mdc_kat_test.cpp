// MDC-2 and MDC-4 over DES. MDC-2: the published values (OpenSSL's MDC-2 test for "Now is the
// time for all " with zero and with 0x80 padding, and the widely published digests of the
// empty string and the quick-brown-fox sentences). MDC-4 and the other padding rules: values
// from the independent implementation in oracle/mdc_vectors.py over the DES of Python's
// `cryptography` package, which first reproduces every published MDC-2 value.
#include "crypto/errors.h"
#include "hash_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
const std::string kNow = "Now is the time for all ";
const std::string kDog = "The quick brown fox jumps over the lazy dog";
const std::string kCog = "The quick brown fox jumps over the lazy cog";
} // namespace

TEST(MdcKnownAnswers, Mdc2PublishedValues) {
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, ""), "52525252525252522525252525252525");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kNow), "42e50cd224baceba760bdd2bd409281a");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kNow, 1962), "2e4679b5add9ca7535d87afeab33bee2");
    // 43 bytes: the last block is completed with zeros, with padding 0 and with 1956 alike.
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kDog), "000ed54e093d61679aefbeae05bfe33a");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kDog, 1956), "000ed54e093d61679aefbeae05bfe33a");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kCog), "775f59f8e51aec29c57ac6ab850d58e8");
}

TEST(MdcKnownAnswers, Mdc2CountPadding) {
    // Zeros then a count byte: a whole extra block when the message fills its last block.
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, "", 1957), "2ef284cceecde49614570b25bb55bf29");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, "abc", 1957), "58e99777443a06a1275328e273fc4056");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kNow, 1957), "f38962ae503f7aac1faecff18bd5d4b5");
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, kDog, 1958), "79584518ca0e68440abeee4c5aadad23");
}

TEST(MdcKnownAnswers, Mdc4) {
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, ""), "52525252525252522525252525252525");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, "abc"), "e5c4cc03e792c91cbb2c1dc4e720b3d8");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, kNow), "b62472300ab32b36bd046ec4d1b3dcfd");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, kDog), "44f5722d6e40b93e3c98f1408978d8e7");
}

TEST(MdcKnownAnswers, Mdc4LengthPadding) {
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, "", 1959), "14131f5dadbc2cc4e4d4c8dcef91d462");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, "abc", 1959), "e0abd233a1be9650713609decc1ef62b");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, kNow, 1959), "a363d1e0cdb38ef47dfaa06390a67169");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, kDog, 1959), "a699ebb566b3f3915717ab78df53f458");
}

TEST(MdcKnownAnswers, UnknownPaddingIsRefusedWithoutTakingInput) {
    // MDC-2 has no length field, and 1234 is no padding id at all.
    EXPECT_EQ(hash_hex(HASHMECH_MDC2, "abc", 1959), "error 32");
    EXPECT_EQ(hash_hex(HASHMECH_MDC4, "abc", 1234), "error 32");

    HashContext context;
    ASSERT_EQ(hashmech_init(HASHMECH_MDC2, nullptr, &context), 0);
    ASSERT_EQ(hashmech_update(HASHMECH_MDC2, &context,
                              reinterpret_cast<const uint8_t *>(kNow.data()), 11),
              0);
    HashContext before = context;
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_final(HASHMECH_MDC2, &context, 1959,
                             reinterpret_cast<const uint8_t *>(kNow.data()) + 11, 5, digest),
              ERR_INVALID_PARAMETER);
    EXPECT_EQ(std::memcmp(before.state, context.state, sizeof context.state), 0);
    EXPECT_EQ(std::memcmp(before.buffer, context.buffer, sizeof context.buffer), 0);
    EXPECT_EQ(before.buffered, context.buffered);
    EXPECT_EQ(before.block_count, context.block_count);
}
