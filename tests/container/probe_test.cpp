// The probe's four answers.
#include "container/container.h"
#include "container/container_probe.h"
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#include <cstring>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
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

#ifndef _WIN32
TEST(Probe, FileHeldByAnotherProcess) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("held");
    write_all(path, qxv_test::pattern(100));
    ASSERT_EQ(container_crypt_file(path.c_str(), "", "password", 'A'), CRYPT_OK);
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto held = platform::native_file_system().open(path, platform::Access::Read,
                                                        platform::Share::ReadWrite,
                                                        platform::Disposition::OpenExisting);
        char byte = held ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(probe(path), PROBE_CANNOT_OPEN);
    ASSERT_EQ(write(release[1], &byte, 1), 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(probe(path), PROBE_CONTAINER);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}
#endif

} // namespace
