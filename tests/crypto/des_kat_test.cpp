// DES and Triple-DES block functions against published known answers.
#include "crypto/des.h"
#include "crypto/errors.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct DesVector {
    const char *key;
    const char *plain;
    const char *cipher;
};

// Single DES known answers. The first is the classic "Now is t" example; the others are
// entries of the NBS variable-plaintext, variable-key and S-box tables (NBS SP 500-20,
// as reprinted in NIST SP 800-17 appendix B).
const DesVector DES_VECTORS[] = {
    {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"0101010101010101", "0000000000000001", "166b40b44aba4bd6"},
    {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"0101010101010101", "95f8a5e5dd31d900", "8000000000000000"},
    {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
    {"07a1133e4a0b2686", "0248d43806f67172", "868ebb51cab4599a"},
};

std::string des_encrypt(const std::string &key_hex, const std::string &plain_hex) {
    const auto key = hex(key_hex);
    const auto plain = hex(plain_hex);
    uint32_t schedule[DES_SCHEDULE_WORDS];
    uint8_t out[8];
    des_schedule(schedule, key.data());
    des_encrypt_block(schedule, plain.data(), out);
    return to_hex(out, 8);
}

} // namespace

TEST(DesKnownAnswer, PublishedVectorsBothDirectionsAndInPlace) {
    for (const DesVector &v : DES_VECTORS) {
        SCOPED_TRACE(v.key);
        const auto key = hex(v.key);
        uint32_t schedule[DES_SCHEDULE_WORDS];
        des_schedule(schedule, key.data());
        auto block = hex(v.plain);
        des_encrypt_block(schedule, block.data(), block.data());
        EXPECT_EQ(to_hex(block), v.cipher);
        des_decrypt_block(schedule, block.data(), block.data());
        EXPECT_EQ(to_hex(block), v.plain);
    }
}

TEST(DesKnownAnswer, ParityBitsAreIgnored) {
    EXPECT_EQ(des_encrypt("0101010101010101", "0123456789abcdef"),
              des_encrypt("0000000000000000", "0123456789abcdef"));
    EXPECT_EQ(des_encrypt("0123456789abcdef", "4e6f772069732074"),
              des_encrypt("0022446688aaccee", "4e6f772069732074"));
}

TEST(DesKnownAnswer, ScheduleIsLinearInTheKey) {
    // Mode 9's key variant XORs the schedule of F0F0... over the key's schedule.
    const auto k = hex("0123456789abcdef");
    const auto x = hex("f0f0f0f0f0f0f0f0");
    const auto kx = hex("f1d3b597795b3d1f");
    uint32_t sk[DES_SCHEDULE_WORDS], sx[DES_SCHEDULE_WORDS], skx[DES_SCHEDULE_WORDS];
    des_schedule(sk, k.data());
    des_schedule(sx, x.data());
    des_schedule(skx, kx.data());
    for (uint32_t i = 0; i < DES_SCHEDULE_WORDS; ++i)
        EXPECT_EQ(sk[i] ^ sx[i], skx[i]);
}

TEST(DesMaintenanceTest, AllFourTestNumbersPass) {
    for (unsigned n = 0; n < 4; ++n)
        EXPECT_EQ(des_maintenance_test(n), 0) << n;
    EXPECT_EQ(des_maintenance_test(4), ERR_GENERAL);
}

TEST(DesMaintenanceTest, PrintingFormReportsEachByte) {
    std::FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(des_maintenance_test_print(f, 3), 0);
    std::rewind(f);
    char buf[128] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "DES NBS Maintenance Test #3: ++++++++\n");
}

TEST(TripleDesKnownAnswer, ThreeKeySp80067Example) {
    // NIST SP 800-67 Rev. 1, example: "The qufck brown fox jump" in ECB.
    const auto key = hex("0123456789abcdef 23456789abcdef01 456789abcdef0123");
    const auto plain = hex("5468652071756663 6b2062726f776e20 666f78206a756d70");
    const char *cipher = "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900";
    uint32_t schedule[3 * DES_SCHEDULE_WORDS];
    des3_3key_schedule(schedule, key.data());
    std::vector<uint8_t> block(plain);
    for (size_t i = 0; i < block.size(); i += 8)
        des3_3key_encrypt_block(schedule, block.data() + i, block.data() + i);
    EXPECT_EQ(to_hex(block), cipher);
    for (size_t i = 0; i < block.size(); i += 8)
        des3_3key_decrypt_block(schedule, block.data() + i, block.data() + i);
    EXPECT_EQ(block, plain);
    EXPECT_EQ(des3_known_answer_test(), 0);
}

TEST(TripleDesKnownAnswer, EqualKeysReduceToSingleDes) {
    const auto k1 = hex("0123456789abcdef");
    const auto k2 = hex("fedcba9876543210");
    uint8_t key2[16], key3[24], key3b[24];
    for (int i = 0; i < 8; ++i) {
        key2[i] = key2[8 + i] = k1[i];
        key3[i] = key3[8 + i] = key3[16 + i] = k1[i];
        // K1 = K2 makes the first two passes cancel: the result is DES under K3.
        key3b[i] = key3b[8 + i] = k2[i];
        key3b[16 + i] = k1[i];
    }
    uint32_t single[DES_SCHEDULE_WORDS], two[2 * DES_SCHEDULE_WORDS], three[3 * DES_SCHEDULE_WORDS],
        threeb[3 * DES_SCHEDULE_WORDS];
    des_schedule(single, k1.data());
    des3_2key_schedule(two, key2);
    des3_3key_schedule(three, key3);
    des3_3key_schedule(threeb, key3b);
    const auto plain = hex("4e6f772069732074");
    uint8_t a[8], b[8], c[8], d[8];
    des_encrypt_block(single, plain.data(), a);
    des3_2key_encrypt_block(two, plain.data(), b);
    des3_3key_encrypt_block(three, plain.data(), c);
    des3_3key_encrypt_block(threeb, plain.data(), d);
    EXPECT_EQ(to_hex(a, 8), "3fa40e8a984d4815");
    EXPECT_EQ(to_hex(b, 8), to_hex(a, 8));
    EXPECT_EQ(to_hex(c, 8), to_hex(a, 8));
    EXPECT_EQ(to_hex(d, 8), to_hex(a, 8));
    des3_2key_decrypt_block(two, b, b);
    des3_3key_decrypt_block(threeb, d, d);
    EXPECT_EQ(to_hex(b, 8), "4e6f772069732074");
    EXPECT_EQ(to_hex(d, 8), "4e6f772069732074");
}
