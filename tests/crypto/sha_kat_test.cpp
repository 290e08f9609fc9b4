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

TEST(ShaKnownAnswers, Sha256) {
    EXPECT_EQ(hash_hex(HASHMECH_SHA256, kAbc),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hash_hex(HASHMECH_SHA256, k448),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_SHA256, "a", 1000000),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(hash_hex(HASHMECH_SHA256, ""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ShaKnownAnswers, Sha384) {
    EXPECT_EQ(hash_hex(HASHMECH_SHA384, kAbc), "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded163"
                                               "1a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
    EXPECT_EQ(hash_hex(HASHMECH_SHA384, k896), "09330c33f71147e83d192fc782cd1b4753111b173b3b05d2"
                                               "2fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_SHA384, "a", 1000000),
              "9d0e1809716474cb086e834e310a4a1ced149e9c00f24852"
              "7972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985");
}

TEST(ShaKnownAnswers, Sha512) {
    EXPECT_EQ(hash_hex(HASHMECH_SHA512, kAbc),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(hash_hex(HASHMECH_SHA512, k896),
              "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
              "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_SHA512, "a", 1000000),
              "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
              "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b");
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
