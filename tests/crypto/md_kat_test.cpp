// Known answers for the little-endian hashes: the test suite of RFC 1321 (appendix A.5) for MD5,
// and the test vectors published by the designers of RIPEMD-160.
#include "hash_test_util.h"

#include <gtest/gtest.h>

namespace {
const std::string kAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kDigits8 = "1234567890123456789012345678901234567890"
                             "1234567890123456789012345678901234567890";
} // namespace

TEST(MdKnownAnswers, Md5Rfc1321Suite) {
    EXPECT_EQ(hash_hex(HASHMECH_MD5, ""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, "a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, "message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, "abcdefghijklmnopqrstuvwxyz"),
              "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, kAlnum), "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(hash_hex(HASHMECH_MD5, kDigits8), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MdKnownAnswers, Ripemd160DesignersVectors) {
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, ""), "9c1185a5c5e9fc54612808977ee8f548b2258d31");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, "a"), "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, "abc"), "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, "message digest"),
              "5d0689ef49d2fae572b881b123a85ffa21595f36");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, "abcdefghijklmnopqrstuvwxyz"),
              "f71c27109c692c1b56bbdceb5b9d2865b3708dbc");
    EXPECT_EQ(
        hash_hex(HASHMECH_RIPEMD160, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
        "12a053384a9c0c88e405a06c27dcf49ada62eb2b");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, kAlnum), "b0e20b6e3116640286ed3a87a5713079b21f5189");
    EXPECT_EQ(hash_hex(HASHMECH_RIPEMD160, kDigits8), "9b752e45573d4b39f4dbd3323cab82bf63326bfb");
    EXPECT_EQ(hash_repeated_hex(HASHMECH_RIPEMD160, "a", 1000000),
              "52783243c1697bdbe16d37f97f68f08325dc1528");
}
