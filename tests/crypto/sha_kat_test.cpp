// Known answers for the SHA family: the examples of FIPS 180-2 (appendices A to D, SHA-1 ones as
// in FIPS 180-1) and the further SHA-1 test of RFC 3174.
#include "hash_test_util.h"

#include <gtest/gtest.h>

namespace {
const std::string kAbc = "abc";
const std::string k448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string k896 = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                         "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
} // namespace

TEST(ShaKnownAnswers, Sha1) {
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, kAbc), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, k448), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, ""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_SHA1, "a", 1000000),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_SHA1,
                                "0123456701234567012345670123456701234567012345670123456701234567",
                                10),
              "dea356a2cddd90c7a7ecedc5ebb563934f460452");
}

// Messages that end on either side of the point where the length no longer fits the last block
// (values from Python's hashlib).
TEST(ShaKnownAnswers, Sha1PaddingBoundaries) {
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, std::string(55, 'a')),
              "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, std::string(56, 'a')),
              "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(hash_hex(HASHMECH_SHA1, std::string(64, 'a')),
              "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}
