// Trailer fields to the byte: the encodings the format fixes, the long length form, and the
// bounds every reader keeps.
#include "container/tlv.h"
#include "tests/support/memory_file.h"

#include <gtest/gtest.h>
#include <string>

using qxv_test::MemoryFile;
using Bytes = std::vector<uint8_t>;

namespace {

TEST(TlvWrite, IntegersLengthsAndTexts) {
    const struct {
        uint32_t value;
        Bytes field;
    } integers[] = {
        {0, {0x02, 0x00}},
        {100, {0x02, 0x01, 0x64}},
        {128, {0x02, 0x01, 0x80}},
        {16384, {0x02, 0x02, 0x40, 0x00}},
        {0x10000, {0x02, 0x03, 0x01, 0x00, 0x00}},
        {4294967295u, {0x02, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto &c : integers) {
        MemoryFile file;
        ASSERT_EQ(tlv_write_uint32(file, c.value), 0);
        EXPECT_EQ(file.bytes(), c.field) << c.value;
    }
    const struct {
        uint32_t length;
        Bytes encoded;
    } lengths[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x80}},
        {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}},
        {0x123456, {0x83, 0x12, 0x34, 0x56}},
        {0xFFFFFFFFu, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto &c : lengths) {
        MemoryFile file;
        ASSERT_EQ(tlv_write_length(file, c.length), 0);
        EXPECT_EQ(file.bytes(), c.encoded) << c.length;
        file.seek(0, platform::Origin::Begin, nullptr);
        uint32_t back = 0;
        ASSERT_EQ(tlv_read_length(file, &back), 0);
        EXPECT_EQ(back, c.length);
    }
    MemoryFile file;
    ASSERT_EQ(tlv_write_string(file, "QXV"), 0);
    ASSERT_EQ(tlv_write_string(file, "QXVEOF"), 0);
    EXPECT_EQ(file.bytes(), (Bytes{0x14, 3, 'Q', 'X', 'V', 0x14, 6, 'Q', 'X', 'V', 'E', 'O', 'F'}));

    MemoryFile octets;
    const Bytes content(200, 0xAB);
    ASSERT_EQ(tlv_write_octets(octets, content.data(), 200), 0);
    EXPECT_EQ(Bytes(octets.bytes().begin(), octets.bytes().begin() + 3), (Bytes{0x04, 0x81, 200}));
    EXPECT_EQ(octets.bytes().size(), 203u);
}

TEST(TlvRead, LengthFormsAndTheirLimits) {
    uint32_t length = 0;
    MemoryFile zero_bytes_follow({0x80});
    ASSERT_EQ(tlv_read_length(zero_bytes_follow, &length), 0);
    EXPECT_EQ(length, 0u);
    MemoryFile too_long_a_form({0x85, 1, 2, 3, 4, 5});
    ASSERT_EQ(tlv_read_length(too_long_a_form, &length), 0);
    EXPECT_EQ(length, TLV_LENGTH_UNREADABLE);
    MemoryFile cut({0x82, 0x01});
    EXPECT_EQ(tlv_read_length(cut, &length), -1);
    MemoryFile empty;
    EXPECT_EQ(tlv_read_length(empty, &length), -1);
}

TEST(TlvRead, Strings) {
    char text[TLV_TEXT_BUFFER_SIZE];
    MemoryFile long_form({0x14, 0x81, 0x03, 'A', 'E', 'S'});
    ASSERT_EQ(tlv_read_string(long_form, text), 0);
    EXPECT_STREQ(text, "AES");

    Bytes longest = {0x14, 79};
    longest.insert(longest.end(), 79, 'x');
    MemoryFile fits(longest);
    ASSERT_EQ(tlv_read_string(fits, text), 0);
    EXPECT_EQ(std::string(text), std::string(79, 'x'));

    Bytes too_long = {0x14, 80};
    too_long.insert(too_long.end(), 80, 'x');
    MemoryFile refused(too_long);
    EXPECT_EQ(tlv_read_string(refused, text), -1);

    MemoryFile wrong_tag({0x04, 3, 'Q', 'X', 'V'});
    EXPECT_EQ(tlv_read_string(wrong_tag, text), -1);
    MemoryFile cut({0x14, 3, 'Q', 'X'});
    EXPECT_EQ(tlv_read_string(cut, text), -1);
    MemoryFile unreadable_length({0x14, 0x85});
    EXPECT_EQ(tlv_read_string(unreadable_length, text), -1);
}

TEST(TlvRead, OctetsAreBoundedByTheBuffer) {
    uint8_t salt[TLV_OCTETS_MAX];
    uint32_t length = 0;
    for (uint32_t size : {0u, 1u, 25u, 127u, 128u, 255u}) {
        MemoryFile file;
        const Bytes content(size, 0x5A);
        tlv_write_octets(file, content.data(), size);
        file.seek(0, platform::Origin::Begin, nullptr);
        ASSERT_EQ(tlv_read_octets(file, salt, sizeof salt, &length), 0) << size;
        EXPECT_EQ(length, size);
        EXPECT_EQ(Bytes(salt, salt + length), content);
    }
    MemoryFile file;
    const Bytes content(256, 0x5A);
    tlv_write_octets(file, content.data(), 256);
    file.seek(0, platform::Origin::Begin, nullptr);
    EXPECT_EQ(tlv_read_octets(file, salt, sizeof salt, &length), -1);
    // A smaller buffer bounds the read too.
    MemoryFile small({0x04, 5, 1, 2, 3, 4, 5});
    EXPECT_EQ(tlv_read_octets(small, salt, 4, &length), -1);
    MemoryFile cut({0x04, 5, 1, 2});
    EXPECT_EQ(tlv_read_octets(cut, salt, sizeof salt, &length), -1);
}

TEST(TlvRead, IntegersAcceptLeadingZerosOnly) {
    const struct {
        Bytes field;
        int result;
        uint32_t value;
    } cases[] = {
        {{0x02, 0x00}, 0, 0},
        {{0x02, 0x01, 0x64}, 0, 100},
        {{0x02, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 0xFFFFFFFFu},
        {{0x02, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}, 0, 0x80000000u}, // sign byte
        {{0x02, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07}, 0, 7},
        {{0x02, 0x81, 0x02, 0x40, 0x00}, 0, 16384}, // long length form
        {{0x02, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}, -1, 0},
        {{0x02, 0x03, 0x01, 0x02}, -1, 0}, // cut off
        {{0x04, 0x01, 0x64}, -1, 0},       // wrong tag
    };
    for (const auto &c : cases) {
        MemoryFile file(c.field);
        uint32_t value = 12345;
        ASSERT_EQ(tlv_read_uint32(file, &value), c.result) << testing::PrintToString(c.field);
        if (c.result == 0) {
            EXPECT_EQ(value, c.value);
        }
    }
    Bytes long_zeros = {0x02, 0x81, 0xFF};
    long_zeros.insert(long_zeros.end(), 254, 0);
    long_zeros.push_back(9);
    MemoryFile at_bound(long_zeros);
    uint32_t value = 0;
    ASSERT_EQ(tlv_read_uint32(at_bound, &value), 0);
    EXPECT_EQ(value, 9u);
    Bytes over = {0x02, 0x82, 0x01, 0x00};
    over.insert(over.end(), 256, 0);
    MemoryFile over_bound(over);
    EXPECT_EQ(tlv_read_uint32(over_bound, &value), -1);
}

} // namespace
