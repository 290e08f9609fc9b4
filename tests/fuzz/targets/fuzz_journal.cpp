#include "container/container.h"
#include "container/journal.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/memory_file_system.h"

// An encryption taken up again from a journal of hostile bytes beside a file of hostile bytes,
// on files in memory. Input: the file's length (4 bytes, little-endian), the file, the journal.
// A refusal (damaged journal, wrong password, a file the journal does not describe, bytes under
// the journal's name that are no journal) changes neither file; a success leaves the container
// alone, its journal gone.
void fuzz_journal(const uint8_t *data, size_t size) {
    if (size < 4) return;
    const uint32_t file_length = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (file_length > size - 4) return;
    const std::vector<uint8_t> file(data + 4, data + 4 + file_length);
    const std::vector<uint8_t> journal(data + 4 + file_length, data + size);
    static qxv_test::MemoryFileSystem files;
    files.clear();
    files.put("plain", file);
    files.put(journal_path("plain"), journal);
    qxv_test::ScopedFileSystem scope(files);
    const int result = container_crypt_file("plain", nullptr, FUZZ_PASSWORD, 'A');
    FUZZ_REQUIRE(result == CRYPT_OK || result == CRYPT_ERR_FILE || result == CRYPT_ERR_FORMAT ||
                 result == CRYPT_ERR_PASSWORD || result == CRYPT_ERR_DISK_FULL ||
                 result == CRYPT_ERR_RANDOM || result == CRYPT_ERR_JOURNAL_TAKEN);
    const auto *file_now = files.get("plain");
    const auto *journal_now = files.get(journal_path("plain"));
    FUZZ_REQUIRE(file_now != nullptr);
    if (result == CRYPT_ERR_FORMAT || result == CRYPT_ERR_PASSWORD ||
        result == CRYPT_ERR_JOURNAL_TAKEN)
        FUZZ_REQUIRE(*file_now == file && journal_now != nullptr && *journal_now == journal);
    if (result == CRYPT_OK) FUZZ_REQUIRE(journal_now == nullptr && files.file_count() == 1);
}
