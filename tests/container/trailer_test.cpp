// The trailer module: the writer to the byte, then one table of every refusal and every
// boundary of the reader at a known offset and of the backward search, under the one rule
// every reader keeps.
#include "container/trailer.h"
#include "crypto/convmech.h"
#include "tests/support/memory_file.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

using qxv_test::MemoryFile;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes text(const std::string &value) {
    Bytes field(2 + value.size());
    field[0] = TLV_TAG_TEXT;
    field[1] = static_cast<uint8_t>(value.size());
    std::copy(value.begin(), value.end(), field.begin() + 2);
    return field;
}

const uint8_t SALT[] = "Tue Dec 08 14:43:10 2026\n";
const platform::FileTimes TIMES = {0x01D9A0B123456789, 0, 0x01D9A0B200000080};

// A container for S = 100 with AES (C = 128) as its fields, for a case to change. Defaults are
// what trailer_write gives for TIMES and SALT.
struct Container {
    Bytes prefix; // a stub image in front, for the search
    Bytes region = Bytes(128, 0xA5);
    Bytes magic = text("QXV");
    Bytes name = text("AES");
    Bytes times = {0x02, 4,    0x23, 0x45, 0x67, 0x89, 0x02, 4,    0x01, 0xD9, 0xA0,
                   0xB1, 0x02, 1,    0x80, 0x02, 4,    0x01, 0xD9, 0xA0, 0xB2};
    Bytes salt = [] {
        Bytes field(2 + 25);
        field[0] = TLV_TAG_OCTETS;
        field[1] = 25;
        std::copy(SALT, SALT + 25, field.begin() + 2);
        return field;
    }();
    Bytes size = {0x02, 1, 100};
    Bytes extra; // between field 8 and the end marker
    Bytes marker = text("QXVEOF");
    int64_t c = -1; // the length of `region` unless set

    Bytes fields() const {
        Bytes all;
        for (const Bytes *part : {&magic, &name, &times, &salt, &size, &extra, &marker})
            all.insert(all.end(), part->begin(), part->end());
        return all;
    }
    Bytes bytes() const {
        Bytes all = prefix;
        all.insert(all.end(), region.begin(), region.end());
        const Bytes trailer = fields();
        all.insert(all.end(), trailer.begin(), trailer.end());
        const auto length = static_cast<uint32_t>(c < 0 ? region.size() : c);
        for (int i = 0; i < 4; ++i)
            all.push_back(static_cast<uint8_t>(length >> (8 * i)));
        return all;
    }
};

enum class Reader { Strict, Find };

TrailerError run(Reader reader, const Bytes &bytes, ContainerTrailer *trailer) {
    MemoryFile file(bytes);
    if (reader == Reader::Find) return trailer_find(file, trailer);
    return trailer_read(file, bytes.size(), trailer);
}

TEST(Trailer, WriterLaysOutTheFieldsAndTheReaderGivesThemBack) {
    MemoryFile file(Bytes(128, 0xA5));
    file.seek(0, platform::Origin::End, nullptr);
    ASSERT_TRUE(trailer_write(file, *cipher_for_name("AES"), TIMES, SALT, 25, 100));
    const Bytes expected = Container{}.bytes();
    ASSERT_EQ(file.bytes(), expected);
    const Bytes end(expected.end() - 4, expected.end());
    EXPECT_EQ(end, (Bytes{0x80, 0, 0, 0}));

    for (Reader reader : {Reader::Strict, Reader::Find}) {
        ContainerTrailer t;
        ASSERT_EQ(run(reader, expected, &t), TrailerError::None);
        EXPECT_EQ(t.cipher, cipher_for_name("AES"));
        EXPECT_STREQ(t.name, "AES");
        EXPECT_EQ(t.times.creation, TIMES.creation);
        EXPECT_EQ(t.times.write, TIMES.write);
        EXPECT_EQ(t.times.access, 0u);
        EXPECT_EQ(Bytes(t.salt, t.salt + t.salt_length), Bytes(SALT, SALT + 25));
        EXPECT_EQ(t.plain_size, 100u);
        EXPECT_EQ(t.ciphertext_length, 128u);
        EXPECT_EQ(t.start, 0u);
    }
}

TEST(Trailer, EveryRefusalAndBoundary) {
    using E = TrailerError;
    const Bytes good = Container{}.bytes();
    const Bytes decoy = {TLV_TAG_TEXT, 3, 'Q', 'X', 'V', 0x00};
    // DES3 and every integer in four bytes: the longest trailer the writer can make.
    const auto longest = [](Container &c) {
        c.name = text("DES3");
        c.times = {0x02, 4, 1, 2, 3, 4, 0x02, 4, 1, 2, 3, 4,
                   0x02, 4, 1, 2, 3, 4, 0x02, 4, 1, 2, 3, 4};
        c.size = {0x02, 8, 0, 0, 0, 0, 0, 0, 0, 5}; // S = 5 in the 8 bytes a large S takes
        c.region.assign(16 + 8, 0xA5);
    };
    const struct {
        const char *what;
        Reader reader;
        std::function<void(Container &)> change;
        E expected;
    } cases[] = {
        {"as written", Reader::Strict, [](Container &) {}, E::None},
        {"after a stub image", Reader::Find, [](Container &c) { c.prefix = Bytes(777, 0x14); },
         E::None},
        {"end marker damaged", Reader::Strict, [](Container &c) { c.marker = text("QXVEOG"); },
         E::EndMarker},
        {"end marker no text field", Reader::Find, [](Container &c) { c.marker[0] = 0x04; },
         E::EndUnreadable},
        {"C one below the file size", Reader::Strict,
         [](Container &c) { c.c = static_cast<int64_t>(c.bytes().size()) - 1; }, E::Magic},
        {"C the file size", Reader::Strict,
         [](Container &c) { c.c = static_cast<int64_t>(c.bytes().size()); }, E::OffsetBeyond},
        {"field 1 not QXV", Reader::Strict, [](Container &c) { c.magic = text("QXW"); }, E::Magic},
        {"field 1 nowhere in the window", Reader::Find, [](Container &c) { c.magic = text("QXW"); },
         E::NotFound},
        {"field 2 no text", Reader::Strict, [](Container &c) { c.name[0] = 0x04; }, E::Algorithm},
        {"field 2 unknown", Reader::Strict, [](Container &c) { c.name = text("ROT13"); },
         E::UnknownCipher},
        {"field 2 lower case", Reader::Strict, [](Container &c) { c.name = text("aes"); },
         E::UnknownCipher},
        {"field 2 with a space", Reader::Find, [](Container &c) { c.name = text("AES "); },
         E::UnknownCipher},
        {"field 2 a longer name", Reader::Strict, [](Container &c) { c.name = text("AES256"); },
         E::UnknownCipher},
        {"field 2 empty", Reader::Strict, [](Container &c) { c.name = text(""); },
         E::UnknownCipher},
        {"a time field no integer", Reader::Strict, [](Container &c) { c.times[6] = 0x04; },
         E::Times},
        {"salt no byte string", Reader::Strict, [](Container &c) { c.salt[0] = 0x14; }, E::Salt},
        {"S no integer", Reader::Strict, [](Container &c) { c.size[0] = 0x04; }, E::PlainSize},
        {"a byte before the end marker", Reader::Strict, [](Container &c) { c.extra = {0x00}; },
         E::FieldsEnd},
        {"an extra field before the end marker", Reader::Find,
         [](Container &c) { c.extra = text("X"); }, E::FieldsEnd},
        {"S = 111 still gives C = 128", Reader::Strict, [](Container &c) { c.size[2] = 111; },
         E::None},
        {"S = 112 gives C = 144", Reader::Strict, [](Container &c) { c.size[2] = 112; },
         E::LengthMismatch},
        {"C reaching before the file's start", Reader::Find,
         [](Container &c) {
             c.region.resize(16);
             c.size[2] = 0;
             c.c = 32;
         },
         E::LengthMismatch},
        {"a decoy of field 1 in the ciphertext", Reader::Find,
         [&](Container &c) { std::copy(decoy.begin(), decoy.end(), c.region.end() - 6); }, E::None},
        {"the first candidate's refusal is reported", Reader::Find,
         [&](Container &c) {
             std::copy(decoy.begin(), decoy.end(), c.region.end() - 6);
             c.extra = {0x00};
         },
         E::Algorithm},
        {"an 84-byte trailer is found", Reader::Find, longest, E::None},
        {"an 85-byte trailer is not", Reader::Find,
         [&](Container &c) {
             longest(c);
             c.salt = {TLV_TAG_OCTETS, 26};
             c.salt.resize(28, 'x');
         },
         E::NotFound},
    };
    for (const auto &c : cases) {
        Container container;
        c.change(container);
        ContainerTrailer trailer;
        EXPECT_EQ(run(c.reader, container.bytes(), &trailer), c.expected) << c.what;
    }

    // Files too short for the end fields: 11 bytes with the marker, 3 without.
    ContainerTrailer trailer;
    EXPECT_EQ(run(Reader::Strict, Bytes(good.end() - 11, good.end()), &trailer), E::EndUnreadable);
    EXPECT_EQ(run(Reader::Find, Bytes(good.end() - 3, good.end()), &trailer), E::EndUnreadable);
    // The end fields alone, C = 0: nothing before them to find.
    Bytes end_only = text("QXVEOF");
    end_only.resize(12, 0);
    EXPECT_EQ(run(Reader::Find, end_only, &trailer), E::NotFound);
}

} // namespace

namespace {

// C of a bare container from its file size and the 32 bits stored: the one offset below the
// size, congruent to them, with less than 2^32 bytes after it.
TEST(Trailer, RegionRecoveredFromTheFileSize) {
    constexpr uint64_t G4 = uint64_t{1} << 32;
    const struct {
        uint64_t file_size;
        uint32_t stored;
        uint64_t offset; // file_size: none
    } cases[] = {
        {228, 128, 128},
        {228, 228, 228},                    // C at the end: none
        {228, 0xFFFFFFFF, 228},             // beyond the file
        {G4 - 1, 0xFFFFFF80, 0xFFFFFF80},   // the largest C that needs no recovery
        {G4 + 64, 0, G4},                   // C = 2^32 stored as 0
        {G4 + 100, 16, G4 + 16},            // 84 bytes of trailer after it
        {G4 + 100, 0x80000000, 0x80000000}, // the only candidate below the size
        {5 * G4 + 80, 0, 5 * G4},           // several wraps
        {3 * G4, 0, 3 * G4},                // nothing after it: none
    };
    for (const auto &c : cases)
        EXPECT_EQ(trailer_offset(c.file_size, c.stored), c.offset)
            << c.file_size << " " << c.stored;
}

} // namespace
