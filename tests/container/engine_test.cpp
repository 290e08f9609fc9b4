// The engine end to end on real files: sizes around every block and chunk boundary, the layout
// to the byte, refusals, and the times kept.
#include "container/container.h"
#include "container/crypt_session.h"
#include "container/journal.h"
#include "platform/file_system.h"
#include "platform/random.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using Bytes = std::vector<uint8_t>;
using qxv_test::pattern;
using qxv_test::read_all;
using qxv_test::write_all;

namespace {

const char PASSWORD[] = "correct horse";

struct Cipher {
    char encrypt, decrypt;
    uint32_t key_length, block_size;
    const char *name;
};
const Cipher CIPHERS[] = {
    {'e', 'd', 8, 8, "DES"}, {'E', 'D', 16, 8, "DES3"}, {'A', 'C', 16, 16, "AES"}};

uint32_t le32(const Bytes &bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
}

Bytes slice(const Bytes &bytes, size_t from, size_t length) {
    return Bytes(bytes.begin() + static_cast<long>(from),
                 bytes.begin() + static_cast<long>(from + length));
}

// Trailer of a container written by the engine: every field in its short form.
struct Trailer {
    std::string magic, name, end_marker;
    Bytes salt, size_field;
    uint32_t region = 0;
};

Trailer parse(const Bytes &container) {
    Trailer t;
    t.region = le32(container, container.size() - 4);
    size_t at = t.region;
    auto field = [&](uint8_t tag) {
        EXPECT_EQ(container.at(at), tag);
        const size_t length = container.at(at + 1);
        Bytes content = slice(container, at + 2, length);
        at += 2 + length;
        return content;
    };
    const Bytes magic = field(0x14), name = field(0x14);
    t.magic.assign(magic.begin(), magic.end());
    t.name.assign(name.begin(), name.end());
    for (int i = 0; i < 4; ++i)
        field(0x02);
    t.salt = field(0x04);
    const size_t size_at = at;
    field(0x02);
    t.size_field = slice(container, size_at, at - size_at);
    const Bytes end = field(0x14);
    t.end_marker.assign(end.begin(), end.end());
    EXPECT_EQ(at + 4, container.size());
    return t;
}

TEST(Engine, RoundTripAroundBlockAndChunkBoundaries) {
    const size_t sizes[] = {0, 1, 7, 8, 9, 15, 16, 17, 20, 100, 16383, 16384, 16385, 16391, 16399,
                            16400, 32768, 49152, 49159, 65536 + 100,
                            // around the runs decryption reads and writes at a time
                            131072 - 1, 131072 + 16 + 5, 3 * 131072,
                            // around the journal's records, the unit of overwriting
                            JOURNAL_RECORD_MAX, JOURNAL_RECORD_MAX + 16384 + 9,
                            2 * JOURNAL_RECORD_MAX + 5};
    qxv_test::TempFolder folder;
    for (const Cipher &cipher : CIPHERS) {
        for (size_t size : sizes) {
            SCOPED_TRACE(std::string(cipher.name) + " size " + std::to_string(size));
            const std::string plain = folder.file("plain"), out = folder.file("out");
            const Bytes original = pattern(size, static_cast<uint32_t>(size));
            write_all(plain, original);
            ASSERT_EQ(container_crypt_file(plain.c_str(), "", PASSWORD, cipher.encrypt), CRYPT_OK);
            const Bytes container = read_all(plain);
            const uint64_t region = size / cipher.block_size * cipher.block_size +
                                    cipher.key_length + cipher.block_size;
            const Trailer trailer = parse(container);
            EXPECT_EQ(trailer.region, region);
            EXPECT_EQ(trailer.magic, "QXV");
            EXPECT_EQ(trailer.name, cipher.name);
            EXPECT_EQ(trailer.end_marker, "QXVEOF");
            EXPECT_EQ(trailer.salt.size(), 25u);
            // Nothing of the plain data is left in clear where it stood.
            if (size >= 16) {
                EXPECT_NE(slice(container, 0, 16), slice(original, 0, 16));
            }
            ASSERT_EQ(container_crypt_file(plain.c_str(), out.c_str(), PASSWORD, cipher.decrypt),
                      CRYPT_OK);
            EXPECT_EQ(read_all(out), original);
            std::filesystem::remove(out);
        }
    }
}

// Reports what the engine told it and stops at its `stop_at`-th call (never when 0).
struct Follower final : CryptProgress {
    explicit Follower(int stop_at) : stop_at(stop_at) {}
    bool advance(uint64_t done, uint64_t total) override {
        reports.emplace_back(done, total);
        return static_cast<int>(reports.size()) != stop_at;
    }
    int stop_at;
    std::vector<std::pair<uint64_t, uint64_t>> reports;
};

// A stop between records takes the encryption back through its failure path (the plain file
// byte for byte, no journal); a stop in a decryption leaves no target and the container as it
// was. Unstopped, the bytes reported only grow and end at the total.
TEST(Engine, ProgressReportsBytesAndStopsLeaveFilesAsTheyWere) {
    const size_t size = 2 * JOURNAL_RECORD_MAX + 16384 + 5; // three records and a tail
    qxv_test::TempFolder folder;
    const std::string plain = folder.file("plain"), out = folder.file("out");
    const Bytes original = pattern(size, 7);
    write_all(plain, original);

    Follower whole(0);
    ASSERT_EQ(container_crypt_file(plain.c_str(), "", PASSWORD, 'A', &whole), CRYPT_OK);
    ASSERT_GE(whole.reports.size(), 3u);
    for (size_t i = 1; i < whole.reports.size(); ++i)
        EXPECT_GT(whole.reports[i].first, whole.reports[i - 1].first);
    EXPECT_EQ(whole.reports.back(), std::make_pair(uint64_t{size}, uint64_t{size}));
    const Bytes container = read_all(plain);

    Follower reader(0);
    ASSERT_EQ(container_crypt_file(plain.c_str(), out.c_str(), PASSWORD, 'C', &reader), CRYPT_OK);
    EXPECT_EQ(read_all(out), original);
    EXPECT_EQ(reader.reports.back(), std::make_pair(uint64_t{size}, uint64_t{size}));
    std::filesystem::remove(out);
    for (int stop = 1; stop <= static_cast<int>(reader.reports.size()) - 1; stop += 7) {
        SCOPED_TRACE("decryption stopped at report " + std::to_string(stop));
        Follower follower(stop);
        EXPECT_EQ(container_crypt_file(plain.c_str(), out.c_str(), PASSWORD, 'C', &follower),
                  CRYPT_STOPPED);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(read_all(plain), container);
    }

    write_all(plain, original);
    for (int stop = 1; stop <= 3; ++stop) {
        SCOPED_TRACE("encryption stopped at report " + std::to_string(stop));
        Follower follower(stop);
        EXPECT_EQ(container_crypt_file(plain.c_str(), "", PASSWORD, 'A', &follower), CRYPT_STOPPED);
        EXPECT_EQ(read_all(plain), original);
        EXPECT_FALSE(std::filesystem::exists(journal_path(plain)));
    }
}

TEST(Engine, LayoutPinnedToTheByte) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f");
    const struct {
        char mode;
        size_t size;
        uint32_t region;
        Bytes size_field;
    } cases[] = {
        {'A', 0, 32, {0x02, 0x00}},
        {'e', 0, 16, {0x02, 0x00}},
        {'e', 20, 32, {0x02, 0x01, 0x14}},
        {'A', 100, 128, {0x02, 0x01, 0x64}},
        {'A', 16384, 16384 + 32, {0x02, 0x02, 0x40, 0x00}},
        {'A', 16391, 16384 + 16 + 16, {0x02, 0x02, 0x40, 0x07}},
        {'E', 16384 * 3, 16384 * 3 + 24, {0x02, 0x02, 0xC0, 0x00}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(1, c.mode) + std::to_string(c.size));
        write_all(path, pattern(c.size));
        ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, c.mode), CRYPT_OK);
        const Bytes container = read_all(path);
        const Trailer trailer = parse(container);
        EXPECT_EQ(trailer.region, c.region);
        EXPECT_EQ(trailer.size_field, c.size_field);
        // Fields 1 and 2 follow the ciphertext directly; 9 and 10 are the last 12 bytes.
        EXPECT_EQ(slice(container, c.region, 5), (Bytes{0x14, 0x03, 'Q', 'X', 'V'}));
        EXPECT_EQ(slice(container, container.size() - 12, 8),
                  (Bytes{0x14, 0x06, 'Q', 'X', 'V', 'E', 'O', 'F'}));
    }
    // S = 100 with AES ends in C = 128 = 80 00 00 00.
    write_all(path, pattern(100));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    const Bytes container = read_all(path);
    EXPECT_EQ(slice(container, container.size() - 4, 4), (Bytes{0x80, 0x00, 0x00, 0x00}));
}

TEST(Engine, EveryContainerHasASaltAndKeyOfItsOwn) {
    qxv_test::TempFolder folder;
    const std::string a = folder.file("a"), b = folder.file("b");
    for (const auto &path : {a, b})
        write_all(path, pattern(1000));
    // Two identical files, one password, one second: only the salt tells them apart.
    ASSERT_EQ(container_crypt_file(a.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    ASSERT_EQ(container_crypt_file(b.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    const Bytes ca = read_all(a), cb = read_all(b);
    EXPECT_EQ(parse(ca).salt.size(), 25u);
    EXPECT_NE(parse(ca).salt, parse(cb).salt);
    EXPECT_NE(slice(ca, 0, 16), slice(cb, 0, 16));

    // The salt is the random source's bytes as they came.
    static uint8_t next = 0;
    const auto counting = [](uint8_t *buffer, size_t count) {
        for (size_t i = 0; i < count; ++i)
            buffer[i] = next++;
        return true;
    };
    const platform::RandomSource previous = platform::set_random_source(counting);
    const std::string c = folder.file("c"), out = folder.file("out");
    write_all(c, pattern(1000));
    ASSERT_EQ(container_crypt_file(c.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    platform::set_random_source(previous);
    Bytes counted(25);
    for (uint8_t i = 0; i < 25; ++i)
        counted[i] = i;
    EXPECT_EQ(parse(read_all(c)).salt, counted);
    ASSERT_EQ(container_crypt_file(c.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
    EXPECT_EQ(read_all(out), pattern(1000));
}

TEST(Engine, FailingRandomSourceLeavesTheFileUntouched) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f");
    write_all(path, pattern(100));
    const platform::RandomSource previous =
        platform::set_random_source([](uint8_t *, size_t) { return false; });
    EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_RANDOM);
    platform::set_random_source(previous);
    EXPECT_EQ(read_all(path), pattern(100));
    EXPECT_FALSE(std::filesystem::exists(journal_path(path)));
}

TEST(Engine, AlgorithmNamedInTheTrailerWins) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f"), out = folder.file("out");
    const Bytes original = pattern(333);
    write_all(path, original);
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    ASSERT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'd'), CRYPT_OK);
    EXPECT_EQ(read_all(out), original);
}

TEST(Engine, RefusalsLeaveNoTargetAndTheContainerUntouched) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f"), out = folder.file("out");
    write_all(path, pattern(5000));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    const Bytes good = read_all(path);

    EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), "wrong password", 'C'),
              CRYPT_ERR_PASSWORD);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(read_all(path), good);

    // An existing target is left as it is, even with the right password.
    write_all(out, {1, 2, 3});
    EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_ERR_FILE);
    EXPECT_EQ(read_all(out), (Bytes{1, 2, 3}));
    std::filesystem::remove(out);

    EXPECT_EQ(container_crypt_file(folder.file("missing").c_str(), out.c_str(), PASSWORD, 'C'),
              CRYPT_ERR_FILE);
    EXPECT_EQ(container_crypt_file(folder.file("missing").c_str(), "", PASSWORD, 'A'),
              CRYPT_ERR_FILE);

#ifndef _WIN32
    // A FIFO or device is refused at once either way; no journal, no target.
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &odd : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(container_crypt_file(odd.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_FILE);
        EXPECT_EQ(container_crypt_file(odd.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_ERR_FILE);
    }
    EXPECT_FALSE(std::filesystem::exists(fifo + ".qxvj"));
    EXPECT_FALSE(std::filesystem::exists(out));
#endif

    // An unknown mode letter touches nothing and does not claim success.
    EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'x'), CRYPT_ERR_FORMAT);
    EXPECT_EQ(read_all(path), good);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Damaged containers: each edit of a good container and the result it must give.
TEST(Engine, DamagedContainersAreFormatErrors) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f"), bad = folder.file("bad"), out = folder.file("out");
    write_all(path, pattern(100));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    const Bytes good = read_all(path);
    const size_t region = 128, end = good.size();
    const size_t size_field = end - 12 - 3; // 02 01 64 just before the end marker
    const size_t salt_field = size_field - 27;

    const struct {
        const char *what;
        std::function<void(Bytes &)> edit;
    } damages[] = {
        {"empty file", [](Bytes &b) { b.clear(); }},
        {"three bytes", [](Bytes &b) { b.resize(3); }},
        {"offset at the file size",
         [](Bytes &b) {
             const auto n = static_cast<uint32_t>(b.size());
             for (int i = 0; i < 4; ++i)
                 b[b.size() - 4 + i] = static_cast<uint8_t>(n >> (8 * i));
         }},
        {"offset beyond", [](Bytes &b) { b[b.size() - 1] = 0xFF; }},
        {"magic misspelt", [&](Bytes &b) { b[region + 4] = 'v'; }},
        {"magic with wrong tag", [&](Bytes &b) { b[region] = 0x04; }},
        {"size does not agree with the offset", [&](Bytes &b) { b[size_field + 2] = 0x74; }},
        {"size agrees in blocks only", [&](Bytes &b) { b[size_field + 2] = 0x6F; }},
        // A long-form length, set to more than the field holds (left to the salt's random
        // first byte, one salt in 256 would keep the fields aligned).
        {"salt too long for its field",
         [&](Bytes &b) {
             b[salt_field + 1] = 0x81;
             b[salt_field + 2] = 0xFF;
         }},
        {"trailer cut off",
         [&](Bytes &b) {
             b.resize(region + 20);
             b.insert(b.end(), {0x80, 0, 0, 0});
         }},
        {"last byte lost", [](Bytes &b) { b.pop_back(); }},
        {"end marker misspelt", [](Bytes &b) { b[b.size() - 5] = 'G'; }},
        {"algorithm unknown", [&](Bytes &b) { b[region + 5 + 2] = 'X'; }}, // "AES" -> "XES"
        {"algorithm in lower case", [&](Bytes &b) { b[region + 5 + 2] = 'a'; }},
        {"an extra byte inside the trailer",
         [&](Bytes &b) { b.insert(b.begin() + static_cast<long>(end - 12), 0x00); }},
    };
    for (const auto &damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes bytes = good;
        damage.edit(bytes);
        write_all(bad, bytes);
        EXPECT_EQ(container_crypt_file(bad.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_ERR_FORMAT);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(read_all(bad), bytes);
    }
}

TEST(Engine, TimesKeptByEncryptionAndRestoredByDecryption) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f"), out = folder.file("out");
    write_all(path, pattern(40000));
    auto &fs = platform::native_file_system();
    platform::FileTimes set;
    set.write = 130000000000000000ull;  // 2012
    set.access = 131000000000000000ull; // 2016
    {
        auto file = fs.open(path, platform::Access::Write, platform::Share::Read,
                            platform::Disposition::OpenExisting);
        ASSERT_TRUE(file->set_times(set));
    }
    platform::FileTimes before, after, restored;
    fs.open(path, platform::Access::Read, platform::Share::ReadWrite,
            platform::Disposition::OpenExisting)
        ->get_times(&before);
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    fs.open(path, platform::Access::Read, platform::Share::ReadWrite,
            platform::Disposition::OpenExisting)
        ->get_times(&after);
    EXPECT_EQ(after.write, set.write);
    EXPECT_EQ(after.access, set.access);
    EXPECT_EQ(after.creation, before.creation);

    // The trailer holds the creation and last-write times in 32-bit halves.
    const Bytes container = read_all(path);
    const size_t fields = le32(container, container.size() - 4) + 5 + 5;
    auto uint_at = [&](size_t at, uint32_t *value) {
        EXPECT_EQ(container[at], 0x02);
        *value = 0;
        for (size_t i = 0; i < container[at + 1]; ++i)
            *value = *value << 8 | container[at + 2 + i];
        return at + 2 + container[at + 1];
    };
    uint32_t halves[4];
    size_t at = fields;
    for (uint32_t &half : halves)
        at = uint_at(at, &half);
    EXPECT_EQ(static_cast<uint64_t>(halves[3]) << 32 | halves[2], set.write);
    EXPECT_EQ(static_cast<uint64_t>(halves[1]) << 32 | halves[0], before.creation);

    ASSERT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
    fs.open(out, platform::Access::Read, platform::Share::ReadWrite,
            platform::Disposition::OpenExisting)
        ->get_times(&restored);
    EXPECT_EQ(restored.write, set.write);
}

} // namespace
