// What an interrupted encryption of a folder may leave, file by file, whichever file was under
// way (or several, side by side) when it stopped: each file its original bytes, a container of
// them under the container name, or a journal beside it that the next run finishes. After the
// same command has run again: every file a container of its original, nothing else left.
// Checked through platform::file_system(), as recovery_check.h does for one file.
#pragma once

#include "tests/container/kill/recovery_check.h"

#include <map>
#include <set>

namespace qxv_test {

struct BatchFile {
    std::string path; // under its plain name
    PlainFile original;
};

// The sizes that catch most in a batch: empty, one byte, a block but one, one block, a page; a
// file in a subfolder where the file system has folders; a file of several journal records when
// `large` (the most expensive by far).
struct BatchEntry {
    const char *name;
    size_t size;
};
inline std::vector<BatchEntry> batch_entries(bool subfolder, bool large) {
    std::vector<BatchEntry> entries = {
        {"a-empty", 0}, {"b-one", 1}, {"c-fifteen", 15}, {"d-block", 16}, {"e-page", 4096}};
    if (subfolder) entries.push_back({"sub/f-chunk", CONTAINER_CHUNK_SIZE + 1});
    if (large) entries.push_back({"g-records", SEVERAL_RECORDS});
    return entries;
}

inline std::string container_name(const BatchFile &file) {
    return file.path + ".qxv";
}

// `restores_creation`: whether a decrypted file gets its creation time back.
inline void expect_batch_interrupted_soundly(const std::vector<BatchFile> &files,
                                             bool restores_creation) {
    auto &fs = platform::file_system();
    for (const BatchFile &file : files) {
        SCOPED_TRACE(file.path);
        const bool plain = fs.exists(file.path);
        if (fs.exists(container_name(file))) {
            EXPECT_FALSE(plain) << "both the plain file and its container";
            expect_container_of(
                {container_name(file), &file.original, PASSWORD, 'C', restores_creation}, PASSWORD);
            continue;
        }
        ASSERT_TRUE(plain) << "the file is gone";
        if (fs.exists(journal_of(file.path))) continue; // the next run finishes it: checked then
        EXPECT_TRUE(read_whole(file.path) == file.original.bytes)
            << "changed, and no journal to finish it";
    }
}

inline void expect_batch_finished(const std::vector<BatchFile> &files, bool restores_creation) {
    std::map<std::string, std::set<std::string>> expected; // folder: the names it must hold
    for (const BatchFile &file : files) {
        const std::string folder = platform::folder_of(file.path);
        expected[folder].insert(container_name(file).substr(folder.size()));
        SCOPED_TRACE(file.path);
        EXPECT_FALSE(platform::file_system().exists(file.path));
        expect_container_of(
            {container_name(file), &file.original, PASSWORD, 'C', restores_creation}, PASSWORD);
    }
    // No journal, temporary or partial file of any name.
    for (const auto &[folder, names] : expected) {
        std::vector<platform::FolderEntry> entries;
        ASSERT_TRUE(platform::file_system().list_folder(folder, &entries));
        std::set<std::string> found;
        for (const auto &entry : entries)
            if (!entry.is_folder) found.insert(entry.name);
        EXPECT_EQ(found, names) << "in " << folder;
    }
}

} // namespace qxv_test
