// Padding rules: what each id writes and what removal reports, including counts too large.
#include "crypto/pad.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

std::string padded(const char *data_hex, uint32_t block_size, uint32_t padding, int *result) {
    uint8_t block[16];
    std::memset(block, 0xAA, sizeof block);
    const auto data = hex(data_hex);
    std::copy(data.begin(), data.end(), block);
    *result = pad_block(block, uint32_t(data.size()), block_size, padding);
    return to_hex(block, block_size);
}

} // namespace

TEST(Padding, EachRuleFillsTheTail) {
    int ok = 0;
    EXPECT_EQ(padded("1122", 8, 1956, &ok), "1122000000000000");
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(padded("1122", 8, 1957, &ok), "1122000000000006");
    EXPECT_EQ(padded("1122", 8, 1958, &ok), "1122000000000006");
    EXPECT_EQ(padded("1122", 8, 1960, &ok), "1122ffffffffff06");
    EXPECT_EQ(padded("1122", 8, 1961, &ok), "1122060606060606");
    EXPECT_EQ(padded("1122", 8, 1962, &ok), "1122800000000000");
    EXPECT_EQ(padded("", 16, 1957, &ok), "00000000000000000000000000000010");
    EXPECT_EQ(padded("", 8, 1961, &ok), "0808080808080808");
    EXPECT_EQ(padded("11223344556677", 8, 1962, &ok), "1122334455667780");
    EXPECT_EQ(ok, 1);
}

TEST(Padding, RefusalsLeaveTheBlockAlone) {
    int ok = 1;
    EXPECT_EQ(padded("", 8, 1956, &ok), "aaaaaaaaaaaaaaaa"); // nothing left to pad
    EXPECT_EQ(ok, 0);
    for (uint32_t id : {0u, 1955u, 1959u, 1963u, 57u}) {
        EXPECT_EQ(padded("11", 8, id, &ok), "11aaaaaaaaaaaaaa") << id;
        EXPECT_EQ(ok, 0) << id;
    }
    EXPECT_EQ(padded("1122334455667788", 8, 1957, &ok), "1122334455667788"); // no room
    EXPECT_EQ(ok, 0);
    uint8_t block[8] = {1};
    EXPECT_EQ(pad_block8(block, 1, 1959), 0);
    EXPECT_EQ(pad_block8(block, 1, 1957), 1);
    EXPECT_EQ(block[7], 7);
}

TEST(Padding, RemovalReadsOnlyWhatEachRuleDefines) {
    const auto b = hex("1122000000000003");
    EXPECT_EQ(unpad_length8(b.data(), 1957), 5u);
    EXPECT_EQ(unpad_length8(b.data(), 1958), 5u);
    EXPECT_EQ(unpad_length8(b.data(), 1960), 5u); // pad bytes are not checked
    EXPECT_EQ(unpad_length8(b.data(), 1961), 5u);
    EXPECT_EQ(unpad_length8(b.data(), 1956), 8u); // ends in 03, not zero
    EXPECT_EQ(unpad_length8(hex("1122000000000000").data(), 1956), 2u);
    EXPECT_EQ(unpad_length8(hex("0000000000000000").data(), 1956), 0u);
    EXPECT_EQ(unpad_length8(hex("1122800000000000").data(), 1962), 2u);
    EXPECT_EQ(unpad_length8(hex("1122334455667780").data(), 1962), 7u);
    EXPECT_EQ(unpad_length8(hex("0000000000000000").data(), 1962), 0u);
    EXPECT_EQ(unpad_length8(b.data(), 1959), 0u);
    EXPECT_EQ(unpad_length8(b.data(), 0), 0u);
}

TEST(Padding, CountsOfZeroAndAboveTheBlock) {
    // A count byte of 0 leaves a whole block; a count above the block exceeds it.
    EXPECT_EQ(unpad_length8(hex("1122334455667700").data(), 1957), 8u);
    EXPECT_GT(unpad_length8(hex("1122334455667709").data(), 1957), 8u);
    const auto aes = hex("000102030405060708090a0b0c0d0e11");
    EXPECT_GT(unpad_length(aes.data(), 16, 1961), 16u);
    EXPECT_EQ(unpad_length(hex("00000000000000000000000000000010").data(), 16, 1957), 0u);
}
