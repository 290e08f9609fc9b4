// The probe's four answers.
#include "container/container.h"
#include "container/container_probe.h"
#include "platform/file_system.h"
#include "tests/support/held_by_child.h"
#include "tests/support/temp_folder.h"

#include <cstring>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using Bytes = std::vector<uint8_t>;
using qxv_test::write_all;

namespace {

int probe(const std::string &path, std::string *name = nullptr) {
    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE];
    std::memset(algorithm, '#', sizeof algorithm);
    algorithm[sizeof algorithm - 1] = '\0';
    const int result = container_probe(path.c_str(), algorithm);
    if (name != nullptr) *name = algorithm;
    return result;
}

Bytes text_field(const std::string &text) {
    const std::string field = std::string(1, '\x14') + static_cast<char>(text.size()) + text;
    return Bytes(field.begin(), field.end());
}

TEST(Probe, ContainersOfEveryCipher) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f");
    const struct {
        char mode;
        const char *name;
    } cases[] = {{'e', "DES"}, {'E', "DES3"}, {'A', "AES"}};
    for (const auto &c : cases) {
        write_all(path, qxv_test::pattern(777));
        EXPECT_EQ(probe(path), PROBE_NONE);
        ASSERT_EQ(container_crypt_file(path.c_str(), "", "password", c.mode), CRYPT_OK);
        std::string name;
        EXPECT_EQ(probe(path, &name), PROBE_CONTAINER);
        EXPECT_EQ(name, c.name);
    }
}

TEST(Probe, ShortDamagedAndForeignFilesAreNoContainers) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("f");
    write_all(path, {});
    EXPECT_EQ(probe(path), PROBE_NONE);
    write_all(path, Bytes{0x14, 0x06, 'Q', 'X', 'V', 'E', 'O', 'F', 0, 0, 0});
    EXPECT_EQ(probe(path), PROBE_NONE); // 11 bytes

    write_all(path, qxv_test::pattern(100));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", "password", 'A'), CRYPT_OK);
    const Bytes good = qxv_test::read_all(path);
    Bytes damaged = good;
    damaged[128 + 2] = 'q'; // field 1, last 12 bytes intact
    write_all(path, damaged);
    EXPECT_EQ(probe(path), PROBE_NONE);
    damaged = good;
    damaged[damaged.size() - 4] = static_cast<uint8_t>(damaged.size()); // C = file size
    write_all(path, damaged);
    EXPECT_EQ(probe(path), PROBE_NONE);
    // Decryption would refuse these: so does the probe.
    damaged = good;
    damaged[128 + 5 + 4] = 'X'; // "AES" -> "AEX"
    write_all(path, damaged);
    EXPECT_EQ(probe(path), PROBE_NONE);
    damaged = good;
    damaged.pop_back();
    write_all(path, damaged);
    EXPECT_EQ(probe(path), PROBE_NONE);

    // A self-decrypting executable: the offset counts from the container's start.
    Bytes executable = qxv_test::pattern(3000, 7);
    executable.insert(executable.end(), good.begin(), good.end());
    write_all(path, executable);
    EXPECT_EQ(probe(path), PROBE_NONE);
}

TEST(Probe, OldFormHeader) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("old");
    Bytes old = text_field("QXV");
    const Bytes name = text_field("DES3");
    old.insert(old.end(), name.begin(), name.end());
    old.insert(old.end(), 50, 0xEE);
    write_all(path, old);
    std::string algorithm;
    EXPECT_EQ(probe(path, &algorithm), PROBE_OLD_FORMAT);
    EXPECT_EQ(algorithm, "DES3");
    write_all(path, Bytes{0x14, 0x03, 'Q', 'X', 'V', 0x02, 0x00});
    EXPECT_EQ(probe(path), PROBE_NONE);
}

TEST(Probe, FilesThatCannotBeOpened) {
    qxv_test::TempFolder folder;
    EXPECT_EQ(probe(folder.file("missing")), PROBE_CANNOT_OPEN);
    EXPECT_EQ(probe(folder.path().string()), PROBE_CANNOT_OPEN);
#ifndef _WIN32
    // Neither regular file blocks the probe, nor is read as one.
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(probe(fifo), PROBE_CANNOT_OPEN);
    EXPECT_EQ(probe("/dev/zero"), PROBE_CANNOT_OPEN);
#endif

    const std::string path = folder.file("held");
    write_all(path, qxv_test::pattern(10));
    std::string untouched;
    {
        auto held = platform::native_file_system().open(path, platform::Access::Write,
                                                        platform::Share::ReadWrite,
                                                        platform::Disposition::OpenExisting);
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(probe(path, &untouched), PROBE_CANNOT_OPEN);
        EXPECT_EQ(untouched, std::string(79, '#'));
    }
    EXPECT_EQ(probe(path), PROBE_NONE);
}

TEST(Probe, FileHeldByAnotherProcess) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("held");
    write_all(path, qxv_test::pattern(100));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", "password", 'A'), CRYPT_OK);
    {
        qxv_test::HeldByChild child(path);
        ASSERT_TRUE(child.holding());
        EXPECT_EQ(probe(path), PROBE_CANNOT_OPEN);
    }
    EXPECT_EQ(probe(path), PROBE_CONTAINER);
}

} // namespace
