// The container is found from the end of the file through its trailer alone; these files are
// made by the independent writer or assembled here byte by byte.
#include "crypto/convmech.h"
#include "platform/file_system.h"
#include "stub/stub_flow.h"
#include "stub/stub_messages.h"
#include "tests/stub/stub_test_support.h"

#include <gtest/gtest.h>

using namespace stub_test;

namespace {

const char *locate(const std::filesystem::path &path, ContainerTrailer &container) {
    auto file = platform::file_system().open(path.string(), platform::Access::Read,
                                             platform::Share::ReadWrite,
                                             platform::Disposition::OpenExisting);
    EXPECT_TRUE(file) << path;
    return file ? stub_locate_container(*file, container) : "not opened";
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes text(const std::string &value) {
    Bytes field;
    field.push_back(0x14);
    field.push_back(static_cast<unsigned char>(value.size()));
    for (char c : value)
        field.push_back(static_cast<unsigned char>(c));
    return field;
}

// An AES trailer for S plain bytes with the given ciphertext length C.
Bytes aes_trailer(uint8_t plain_size, uint32_t cipher_length) {
    Bytes salt = {0x04, 25};
    salt.resize(27, 'x');
    return concat({text("QXV"),
                   text("AES"),
                   {0x02, 0, 0x02, 0, 0x02, 0, 0x02, 0},
                   salt,
                   {0x02, 1, plain_size},
                   text("QXVEOF"),
                   {static_cast<unsigned char>(cipher_length), 0, 0, 0}});
}

} // namespace

TEST(ContainerLocator, FindsContainersAfterAnyPrefix) {
    ScratchFolder folder;
    for (std::string name : {"des_small", "des3_odd", "aes_chunks", "aes_empty"}) {
        Bytes container = read_bytes(data_file(name + ".qxv"));
        Bytes prefix(777, 0x14); // bytes that look like text field tags
        write_bytes(folder / "prefixed", concat({prefix, container}));
        ContainerTrailer bare, prefixed;
        ASSERT_EQ(locate(data_file(name + ".qxv"), bare), nullptr) << name;
        ASSERT_EQ(locate(folder / "prefixed", prefixed), nullptr) << name;
        EXPECT_EQ(bare.start, 0u);
        EXPECT_EQ(prefixed.start, prefix.size());
        EXPECT_EQ(prefixed.ciphertext_length, bare.ciphertext_length);
    }
}

TEST(ContainerLocator, ReadsAlgorithmSizeAndSalt) {
    ContainerTrailer container;
    ASSERT_EQ(locate(data_file("des3_odd.qxv"), container), nullptr);
    EXPECT_EQ(container.cipher->algorithm, CONVMECH_DES3_2KEY);
    EXPECT_EQ(container.cipher->key_length, 16u);
    EXPECT_EQ(container.cipher->block_size, 8u);
    EXPECT_EQ(container.plain_size, 16391u);
    EXPECT_EQ(container.ciphertext_length, 16384u + 16u + 8u);
    EXPECT_EQ(std::string(container.salt, container.salt + container.salt_length),
              "Tue Dec 08 14:43:10 2026\n");

    ASSERT_EQ(locate(data_file("des_small.qxv"), container), nullptr);
    EXPECT_EQ(container.cipher->algorithm, CONVMECH_DES);
    EXPECT_EQ(container.ciphertext_length, 16u + 8u + 8u);
    ASSERT_EQ(locate(data_file("aes_short_salt.qxv"), container), nullptr);
    EXPECT_EQ(container.salt_length, 11u);
}

TEST(ContainerLocator, TheLongestTrailerFillsTheWholeSearchWindow) {
    Bytes container = read_bytes(data_file("des3_trailer80.qxv"));
    ContainerTrailer found;
    ASSERT_EQ(locate(data_file("des3_trailer80.qxv"), found), nullptr);
    EXPECT_EQ(container.size() - (found.start + found.ciphertext_length), 80u);
    EXPECT_EQ(found.plain_size, (1u << 24) + 5u);
}

TEST(ContainerLocator, CipherBytesThatLookLikeATrailerAreSkipped) {
    // 32 "ciphertext" bytes (S = 0) whose last ones hold a zero byte and a false start of a
    // trailer inside the search window.
    Bytes cipher(32, 0xA5);
    cipher[20] = 0x00;
    const Bytes decoy = {0x14, 0x03, 'Q', 'X', 'V', 0x00};
    std::copy(decoy.begin(), decoy.end(), cipher.begin() + 24);
    ScratchFolder folder;
    write_bytes(folder / "decoy", concat({cipher, aes_trailer(0, 32)}));
    ContainerTrailer found;
    ASSERT_EQ(locate(folder / "decoy", found), nullptr);
    EXPECT_EQ(found.start, 0u);
    EXPECT_EQ(found.plain_size, 0u);
}

TEST(ContainerLocator, EachDefectHasItsMessage) {
    const std::pair<const char *, const char *> cases[] = {
        {"defect_end_not_text", STUB_MSG_NOT_SELFDECRYPTING},
        {"defect_end_marker", STUB_MSG_NOT_QUILLOMAR},
        {"defect_offset_beyond_end", STUB_MSG_BAD_OFFSET},
        {"defect_magic", STUB_MSG_NO_TRAILER},
        {"defect_algorithm_tag", STUB_MSG_BAD_HEADER},
        {"defect_unknown_algorithm", STUB_MSG_BAD_HEADER},
        {"defect_time_tag", STUB_MSG_BAD_FIELDS},
        {"defect_salt_tag", STUB_MSG_BAD_FIELDS},
        {"defect_size_tag", STUB_MSG_BAD_FIELDS},
        {"defect_size_mismatch", STUB_MSG_BAD_OFFSET},
    };
    for (const auto &[name, message] : cases) {
        ContainerTrailer container;
        const char *got = locate(data_file(std::string(name) + ".qxv"), container);
        ASSERT_NE(got, nullptr) << name;
        EXPECT_STREQ(got, message) << name;
    }
}

TEST(ContainerLocator, ShortAndForeignFiles) {
    ScratchFolder folder;
    ContainerTrailer container;
    write_bytes(folder / "empty", {});
    EXPECT_STREQ(locate(folder / "empty", container), STUB_MSG_NOT_SELFDECRYPTING);
    // The end marker alone, C = 0: there is no trailer before it.
    write_bytes(folder / "marker", concat({text("QXVEOF"), {0, 0, 0, 0}}));
    EXPECT_STREQ(locate(folder / "marker", container), STUB_MSG_NO_TRAILER);
    // A trailer whose C reaches back before the start of the file.
    write_bytes(folder / "reach", concat({Bytes(16, 0), aes_trailer(0, 32)}));
    EXPECT_STREQ(locate(folder / "reach", container), STUB_MSG_BAD_OFFSET);
}
