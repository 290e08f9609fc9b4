// The file and its journal as they are just before the `nth` call of `op` during an in-place
// encryption: what a process killed at that moment leaves behind, put back in place.
// POSIX only: the journal is read while the engine holds it open.
#pragma once

#include "container/container.h"
#include "container/journal.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace qxv_test {

struct Interrupted {
    std::vector<uint8_t> file, journal;
};

inline Interrupted interrupt_encryption(const std::string &path,
                                        const std::vector<uint8_t> &original, Op op, int nth,
                                        const char *password) {
    write_all(path, original);
    Interrupted cut;
    {
        FaultFileSystem fs;
        ScopedFileSystem scope(fs);
        fs.set_hook([&](Op seen, int n) {
            if (seen == op && n == nth) {
                cut.file = read_all(path);
                cut.journal = read_all(journal_path(path));
            }
        });
        EXPECT_EQ(container_crypt_file(path.c_str(), "", password, 'A'), CRYPT_OK);
    }
    EXPECT_FALSE(cut.journal.empty());
    write_all(path, cut.file);
    write_all(journal_path(path), cut.journal);
    return cut;
}

} // namespace qxv_test
