// What an interrupted in-place encryption may leave, checked through platform::file_system()
// (a real disk in the kill tests, a crash image in the power-loss tests): either the plain file
// untouched, or a journal from which the same password finishes the encryption, a wrong one
// changing nothing; or, once the journal is gone, a complete container of the original.
#pragma once

#include "container/container.h"
#include "container/journal.h"
#include "container/trailer.h"
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qxv_test {

// A full journal record, a short one and the final one: both slots written, the first reused.
inline const size_t SEVERAL_RECORDS = JOURNAL_RECORD_MAX + 3 * CONTAINER_CHUNK_SIZE + 12345;
inline const char *const PASSWORD = "correct horse battery staple";

using Bytes = std::vector<uint8_t>;

struct PlainFile {
    Bytes bytes;
    platform::FileTimes times;
};

inline std::string journal_of(const std::string &path) {
    return path + ".qxvj";
}

inline std::optional<Bytes> read_whole(const std::string &path) {
    auto file =
        platform::file_system().open(path, platform::Access::Read, platform::Share::ReadWrite,
                                     platform::Disposition::OpenExisting);
    uint64_t size = 0;
    if (!file || !file->size(&size)) return std::nullopt;
    Bytes bytes(size);
    if (!platform::read_exact(*file, bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
}

inline std::optional<platform::FileTimes> times_of(const std::string &path) {
    auto file =
        platform::file_system().open(path, platform::Access::Read, platform::Share::ReadWrite,
                                     platform::Disposition::OpenExisting);
    platform::FileTimes times;
    if (!file || !file->get_times(&times)) return std::nullopt;
    return times;
}

// The creation and last-write times a container's trailer carries.
inline std::optional<platform::FileTimes> trailer_times(const std::string &path) {
    auto file =
        platform::file_system().open(path, platform::Access::Read, platform::Share::ReadWrite,
                                     platform::Disposition::OpenExisting);
    uint64_t size = 0;
    ContainerTrailer trailer;
    if (!file || !file->size(&size) || trailer_read(*file, size, &trailer) != TrailerError::None)
        return std::nullopt;
    return trailer.times;
}

struct RecoveryCase {
    std::string path;
    const PlainFile *original = nullptr;
    std::string password;
    char decrypt_letter = 'C';
    // Whether a decrypted file gets its creation time back (not on Linux: no birth time is set).
    bool restores_creation = true;
};

// `path` must be a complete container of the original under `password`: decrypting it into a
// new file gives the original bytes and times, and the trailer holds the original's times.
inline void expect_container_of(const RecoveryCase &c, const std::string &password) {
    const std::string out = c.path + ".out";
    ASSERT_FALSE(platform::file_system().exists(journal_of(c.path)));
    ASSERT_EQ(container_crypt_file(c.path.c_str(), out.c_str(), password.c_str(), c.decrypt_letter),
              CRYPT_OK);
    const auto plain = read_whole(out);
    ASSERT_TRUE(plain.has_value());
    EXPECT_TRUE(*plain == c.original->bytes) << "decrypted " << plain->size() << " bytes of "
                                             << c.original->bytes.size() << ", contents differ";
    const auto restored = times_of(out);
    const auto kept = times_of(c.path);
    const auto stored = trailer_times(c.path);
    ASSERT_TRUE(restored && kept && stored);
    EXPECT_EQ(stored->write, c.original->times.write);
    EXPECT_EQ(stored->creation, c.original->times.creation);
    EXPECT_EQ(restored->write, c.original->times.write);
    EXPECT_EQ(kept->write, c.original->times.write) << "the container lost the original's time";
    if (c.restores_creation) {
        EXPECT_EQ(restored->creation, c.original->times.creation);
    }
    EXPECT_TRUE(platform::file_system().remove_file(out));
}

enum class Outcome { Untouched, Complete, Recovered };

// Checks what an interruption left and finishes the encryption if a journal says so.
// `interrupt_recovery`, when given, is run before the final recovery (it may interrupt
// recoveries of its own).
inline Outcome check_after_interruption(const RecoveryCase &c, char recover_letter,
                                        const std::function<void()> &interrupt_recovery = {}) {
    // Looked up at each use: `interrupt_recovery` may install another file system.
    auto fs = [] { return &platform::file_system(); };
    const std::string journal = journal_of(c.path);
    const auto file = read_whole(c.path);
    EXPECT_TRUE(file.has_value()) << "the file is gone";
    if (!file) return Outcome::Untouched;
    if (!fs()->exists(journal)) {
        if (*file == c.original->bytes) return Outcome::Untouched;
        expect_container_of(c, c.password);
        return Outcome::Complete;
    }

    const auto journal_bytes = read_whole(journal);
    const std::string wrong = c.password + "x";
    const int refused = container_crypt_file(c.path.c_str(), nullptr, wrong.c_str(), 'A');
    if (*file == c.original->bytes && refused == CRYPT_OK) {
        // A journal cut short before the file was touched is dropped and the file encrypted
        // afresh, here under the other password: sound, as nothing had been changed.
        EXPECT_FALSE(fs()->exists(journal));
        expect_container_of(c, wrong);
        return Outcome::Untouched;
    }
    EXPECT_EQ(refused, CRYPT_ERR_PASSWORD);
    EXPECT_TRUE(read_whole(c.path) == file) << "a wrong password changed the file";
    EXPECT_TRUE(read_whole(journal) == journal_bytes) << "a wrong password changed the journal";

    if (interrupt_recovery) interrupt_recovery();
    if (fs()->exists(journal)) {
        EXPECT_EQ(container_crypt_file(c.path.c_str(), nullptr, c.password.c_str(), recover_letter),
                  CRYPT_OK);
        EXPECT_FALSE(fs()->exists(journal)) << "the journal outlived its recovery";
    }
    expect_container_of(c, c.password);
    return Outcome::Recovered;
}

} // namespace qxv_test
