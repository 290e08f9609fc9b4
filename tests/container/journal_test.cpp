// The journal of in-place encryption: the newest whole record wins and a cut or spoilt one gives
// way to the record before it; the engine takes an interrupted encryption up again only with the
// right password and only on the file the journal describes.
#include "container/checksum.h"
#include "container/container.h"
#include "container/container_probe.h"
#include "container/in_place_encryption.h"
#include "container/journal.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/interrupted_encryption.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>

using qxv_test::FaultFileSystem;
using qxv_test::Op;

namespace {

const char PASSWORD[] = "journal password";

JournalHeader sample_header() {
    JournalHeader header;
    std::strcpy(header.cipher_name, "AES");
    header.plain_size = 100;
    header.times.write = 42;
    header.capacity = 64;
    header.salt[0] = 's';
    return header;
}

void write_record(Journal &journal, uint64_t sequence, uint8_t fill) {
    const std::vector<uint8_t> bytes(40, fill);
    JournalRecord record;
    record.kind = RecordKind::Data;
    record.sequence = sequence;
    record.offset = sequence * 40;
    record.length = record.stored = bytes.size();
    record.done = record.offset + 40;
    record.data_checksum = checksum64(bytes.data(), bytes.size());
    ASSERT_TRUE(journal.write_bytes(record, 0, bytes.data(), bytes.size()));
    ASSERT_TRUE(journal.seal(record));
}

// The newest whole record's sequence number (-1: none), and its last byte.
int newest_sequence(Journal &journal, uint8_t *fill = nullptr) {
    std::optional<JournalRecord> slots[2];
    EXPECT_TRUE(journal.headers(slots));
    int newest = -1;
    for (const auto &record : slots) {
        uint8_t scratch[16];
        bool whole = false;
        if (!record || !journal.verify(*record, scratch, sizeof scratch, &whole) || !whole ||
            static_cast<int>(record->sequence) < newest)
            continue;
        newest = static_cast<int>(record->sequence);
        if (fill != nullptr) {
            EXPECT_TRUE(journal.read_bytes(*record, 39, fill, 1));
        }
    }
    return newest;
}

void flip_byte(const std::string &path, size_t offset) {
    auto bytes = qxv_test::read_all(path);
    bytes.at(offset) ^= 0x10;
    qxv_test::write_all(path, bytes);
}

TEST(Checksum64, SameValueHoweverTheBytesAreSplit) {
    const auto bytes = qxv_test::pattern(200, 3);
    for (size_t length : {size_t{0}, size_t{31}, size_t{32}, size_t{33}, size_t{200}}) {
        const uint64_t whole = checksum64(bytes.data(), length);
        for (size_t split = 0; split <= length; ++split)
            for (size_t second = split; second <= length; second += 7) {
                Checksum64 pieces;
                pieces.update(bytes.data(), split);
                pieces.update(bytes.data() + split, second - split);
                pieces.update(bytes.data() + second, length - second);
                ASSERT_EQ(pieces.value(), whole)
                    << length << " split at " << split << ", " << second;
            }
    }
    // Every byte and the length count.
    for (size_t i = 0; i < 200; ++i) {
        auto changed = bytes;
        changed[i] ^= 0x01;
        EXPECT_NE(checksum64(changed.data(), 200), checksum64(bytes.data(), 200)) << i;
    }
    EXPECT_NE(checksum64(bytes.data(), 64), checksum64(bytes.data(), 65));
    const std::vector<uint8_t> zeros(64, 0);
    EXPECT_NE(checksum64(zeros.data(), 32), checksum64(zeros.data(), 64));
}

TEST(Journal, NewestWholeRecordWins) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f.qxvj");
    {
        Journal journal;
        ASSERT_TRUE(journal.create(path, sample_header()));
        EXPECT_EQ(newest_sequence(journal), -1);
        for (uint64_t sequence = 0; sequence < 3; ++sequence)
            write_record(journal, sequence, static_cast<uint8_t>(0xA0 + sequence));
        uint8_t fill = 0;
        EXPECT_EQ(newest_sequence(journal, &fill), 2);
        EXPECT_EQ(fill, 0xA2);
    }
    const size_t slot_size = 2 * JOURNAL_RECORD_HEADER + 64;
    const size_t slot0 = JOURNAL_HEADER_SIZE, slot1 = slot0 + slot_size;
    // Record 2 (slot 0) spoilt in its bytes: record 1 is the newest whole one, though record 2's
    // header still reads (the engine then asks the file whether its bytes were written).
    flip_byte(path, slot0 + JOURNAL_RECORD_HEADER + 5);
    Journal reopened;
    JournalHeader header;
    ASSERT_EQ(reopened.open(path, &header), Journal::Found::Whole);
    EXPECT_EQ(header.plain_size, 100u);
    EXPECT_EQ(header.times.write, 42u);
    EXPECT_EQ(header.salt[0], 's');
    EXPECT_STREQ(header.cipher_name, "AES");
    EXPECT_EQ(newest_sequence(reopened), 1);
    std::optional<JournalRecord> slots[2];
    ASSERT_TRUE(reopened.headers(slots));
    ASSERT_TRUE(slots[0] && slots[1]);
    EXPECT_EQ(slots[0]->sequence, 2u);
    EXPECT_EQ(slots[0]->offset, 80u);
    reopened.close();
    // Either copy of a header is enough; both spoilt, the slot is empty.
    flip_byte(path, slot1 + 9);
    ASSERT_EQ(reopened.open(path, &header), Journal::Found::Whole);
    EXPECT_EQ(newest_sequence(reopened), 1);
    reopened.close();
    flip_byte(path, slot1 + slot_size - 20);
    ASSERT_EQ(reopened.open(path, &header), Journal::Found::Whole);
    ASSERT_TRUE(reopened.headers(slots));
    EXPECT_FALSE(slots[1]);
    EXPECT_EQ(newest_sequence(reopened), -1);
    reopened.close();
    // Cut short: nothing of slot 1 reads.
    std::filesystem::resize_file(path, slot1 + JOURNAL_RECORD_HEADER + 20);
    ASSERT_EQ(reopened.open(path, &header), Journal::Found::Whole);
    ASSERT_TRUE(reopened.headers(slots));
    EXPECT_TRUE(slots[0] && !slots[1]);
}

// The length of a journal's records of whole chunks is known again from its capacity alone,
// for this version's journals and for those of earlier versions (8 MiB records throughout).
TEST(Journal, RecordRunFromCapacity) {
    const CipherChoice &aes = *cipher_for_name("AES");
    const struct {
        uint64_t plain_size, run;
    } cases[] = {
        {16384, 16384},
        {3 * 16384 + 100, 3 * 16384},
        {JOURNAL_RECORD_MAX - 16384, JOURNAL_RECORD_MAX - 16384},
        {JOURNAL_RECORD_MAX + 5, JOURNAL_RECORD_MAX},
        {JOURNAL_LONG_RECORDS_FROM - 1, JOURNAL_RECORD_MAX},
        {JOURNAL_LONG_RECORDS_FROM, JOURNAL_LONG_RECORD},
        {uint64_t{5} << 30, JOURNAL_LONG_RECORD},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plain_size);
        EXPECT_EQ(record_run(record_capacity(aes, c.plain_size)), c.run);
        EXPECT_EQ(record_run(record_capacity(aes, c.plain_size, JOURNAL_RECORD_MAX)),
                  std::min<uint64_t>(c.run, JOURNAL_RECORD_MAX));
    }
}

TEST(Journal, HeaderStates) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f.qxvj");
    Journal journal;
    JournalHeader header;
    EXPECT_EQ(journal.open(path, &header), Journal::Found::None);
    // A journal takes its name with its header whole: nothing else there is ours.
    for (const auto &foreign :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{'Q', 'X', 'V', 'J', 'R'},
          std::vector<uint8_t>(10, 'Q'), std::vector<uint8_t>(JOURNAL_HEADER_SIZE + 300, 0)}) {
        qxv_test::write_all(path, foreign);
        EXPECT_EQ(journal.open(path, &header), Journal::Found::Foreign);
        journal.close();
    }
    std::filesystem::remove(path);
    ASSERT_TRUE(journal.create(path, sample_header()));
    EXPECT_FALSE(Journal().create(path, sample_header())); // never over an existing one
    journal.close();
    flip_byte(path, 20);
    EXPECT_EQ(journal.open(path, &header), Journal::Found::Spoilt);
    journal.close();
}

#ifndef _WIN32
qxv_test::Interrupted interrupt_at(const std::string &path, const std::vector<uint8_t> &original,
                                   int nth) {
    return qxv_test::interrupt_encryption(path, original, Op::Write, nth, PASSWORD);
}

std::vector<uint8_t> decrypted(const std::string &path) {
    const std::string out = path + ".out";
    EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
    auto bytes = qxv_test::read_all(out);
    std::filesystem::remove(out);
    return bytes;
}

// Writes of a file of three chunks and a tail: 1 the journal's header; the data record's bytes
// into the journal (2), its header and the copy (3, 4), the record into the file (5); the same
// for the final record (6 to 9).
TEST(JournalRecovery, FinishesOnlyWithThePassword) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("plain");
    const auto original = qxv_test::pattern(3 * 16384 + 100);
    for (const int nth : {2, 3, 5, 6, 9}) {
        SCOPED_TRACE("cut before write " + std::to_string(nth));
        const qxv_test::Interrupted cut = interrupt_at(path, original, nth);
        EXPECT_EQ(container_crypt_file(path.c_str(), "", "another password", 'A'),
                  CRYPT_ERR_PASSWORD);
        EXPECT_EQ(qxv_test::read_all(path), cut.file);
        EXPECT_EQ(qxv_test::read_all(journal_path(path)), cut.journal);
        // The journal's cipher wins over the letter asked for.
        EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'e'), CRYPT_OK);
        EXPECT_FALSE(std::filesystem::exists(journal_path(path)));
        char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
        EXPECT_EQ(container_probe(path.c_str(), algorithm), PROBE_CONTAINER);
        EXPECT_STREQ(algorithm, "AES");
        EXPECT_EQ(decrypted(path), original);
    }
}

// A file of 128 MiB or more is journaled in records of 32 MiB: cut in the middle of the second
// one, it is finished from the journal; a run told to stop takes it back, record by record.
TEST(JournalRecovery, LargeFileInLongRecords) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("plain");
    const auto original = qxv_test::pattern(JOURNAL_LONG_RECORDS_FROM + 3 * 16384 + 100);
    // Writes: the header (1), then per record a sums write per 256 KiB piece, the record's
    // header and its copy, a file write per piece.
    const int pieces = JOURNAL_LONG_RECORD / JOURNAL_PIECE_SIZE;
    const int second_record_half_written = 1 + 2 * (2 * pieces + 2) - pieces / 2;
    const qxv_test::Interrupted cut = interrupt_at(path, original, second_record_half_written);
    EXPECT_EQ(cut.journal.size(),
              JOURNAL_HEADER_SIZE + 2 * (2 * JOURNAL_RECORD_HEADER + JOURNAL_LONG_RECORD / 64));
    EXPECT_NE(std::vector<uint8_t>(cut.file.begin() + JOURNAL_LONG_RECORD + 5 * 16384,
                                   cut.file.begin() + JOURNAL_LONG_RECORD + 6 * 16384),
              std::vector<uint8_t>(original.begin() + JOURNAL_LONG_RECORD + 5 * 16384,
                                   original.begin() + JOURNAL_LONG_RECORD + 6 * 16384))
        << "the cut is not inside the second record";
    ASSERT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
    EXPECT_EQ(decrypted(path), original);

    struct StopAtSecond final : CryptProgress {
        int calls = 0;
        bool advance(uint64_t, uint64_t) override { return ++calls < 3; }
    } stop;
    qxv_test::write_all(path, original);
    EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A', &stop), CRYPT_STOPPED);
    EXPECT_EQ(qxv_test::read_all(path), original);
    EXPECT_FALSE(std::filesystem::exists(journal_path(path)));
}

TEST(JournalRecovery, LeavesAFileTheJournalDoesNotDescribe) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("plain");
    const auto original = qxv_test::pattern(3 * 16384 + 100);
    for (const int nth : {5, 9}) {
        SCOPED_TRACE("cut before write " + std::to_string(nth));
        const qxv_test::Interrupted cut = interrupt_at(path, original, nth);
        auto other = cut.file;
        other[3 * 16384 + 1] ^= 1; // the final record's place
        other[1] ^= 1;             // the data record's place
        qxv_test::write_all(path, other);
        EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_FORMAT);
        EXPECT_EQ(qxv_test::read_all(path), other);
        EXPECT_EQ(qxv_test::read_all(journal_path(path)), cut.journal);
        std::filesystem::remove(journal_path(path));
    }
}
#endif

TEST(JournalRecovery, SpoiltJournalIsKeptAndOtherFilesLeftAlone) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("plain");
    const auto original = qxv_test::pattern(20000);
    qxv_test::write_all(path, original);
    {
        Journal journal;
        ASSERT_TRUE(journal.create(journal_path(path), sample_header()));
    }
    flip_byte(journal_path(path), 30);
    const auto spoilt = qxv_test::read_all(journal_path(path));
    EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_FORMAT);
    EXPECT_EQ(qxv_test::read_all(path), original);
    EXPECT_EQ(qxv_test::read_all(journal_path(path)), spoilt);

    EXPECT_TRUE(container_probe_interrupted(path.c_str()));

    // Files of the user's under the journal's name: never deleted, never taken for a journal.
    for (const auto &foreign : {std::vector<uint8_t>{}, std::vector<uint8_t>(200, 0)}) {
        qxv_test::write_all(journal_path(path), foreign);
        EXPECT_FALSE(container_probe_interrupted(path.c_str()));
        EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_JOURNAL_TAKEN);
        EXPECT_EQ(qxv_test::read_all(path), original);
        EXPECT_EQ(qxv_test::read_all(journal_path(path)), foreign);
    }
    std::filesystem::remove(journal_path(path));

    // A journal that never took its name (a header, perhaps with the one record of a small
    // file, as a crash left them) is removed, the file was never touched; a file of other
    // bytes, or larger than such a journal, under that temporary name is not ours and stays.
    const std::string temporary = journal_temporary_path(path);
    auto with_start = [](std::vector<uint8_t> start, size_t size) {
        start.resize(size, 0x5A);
        return start;
    };
    const std::vector<uint8_t> magic{'Q', 'X', 'V', 'J', 'R', 'N', 'L', 1};
    const struct {
        std::vector<uint8_t> bytes;
        bool ours;
    } temporaries[] = {
        {{'r', 'e', 'p', 'o', 'r', 't'}, false},
        {std::vector<uint8_t>(JOURNAL_HEADER_SIZE, 0), true},
        {with_start(std::vector<uint8_t>(JOURNAL_HEADER_SIZE, 0), 9000), true},
        {with_start(magic, 9000), true},
        {with_start(magic, 80000), false},
        {with_start({'r', 'e', 'p'}, 9000), false},
    };
    for (const auto &[bytes, ours] : temporaries) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
        qxv_test::write_all(temporary, bytes);
        const int result = container_crypt_file(path.c_str(), "", PASSWORD, 'A');
        EXPECT_EQ(std::filesystem::exists(temporary), !ours);
        EXPECT_FALSE(std::filesystem::exists(journal_path(path)));
        if (!ours) {
            EXPECT_NE(result, CRYPT_OK);
            EXPECT_EQ(qxv_test::read_all(path), original);
            EXPECT_EQ(qxv_test::read_all(temporary), bytes);
            continue;
        }
        ASSERT_EQ(result, CRYPT_OK);
        const std::string out = folder.file("out");
        EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
        EXPECT_EQ(qxv_test::read_all(out), original);
        std::filesystem::remove(out);
        qxv_test::write_all(path, original);
    }
}

} // namespace
