// Encryption, decryption, the probe and the self-decrypting build on a device that fails and
// stays broken (every call of an operation from the Nth on), beside the passing faults: the
// plain file is given back or left with a journal that finishes it, the container is never
// changed, no partial output remains, and no failure passes for success. Also the files
// they delete are only their own, even when another file takes the name meanwhile.
#include "container/container.h"
#include "container/container_probe.h"
#include "container/decrypt_file.h"
#include "container/journal.h"
#include "container/sfx_build.h"
#include "tests/support/fault_sweep.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using Bytes = std::vector<uint8_t>;
using qxv_test::Fault;
using qxv_test::FaultFileSystem;
using qxv_test::Op;
using qxv_test::read_all;
using qxv_test::Repeat;
using qxv_test::write_all;

namespace {

const char PASSWORD[] = "persistent password";

std::vector<qxv_test::Injection> all_injections() {
    return qxv_test::every_injection({Op::Open, Op::Read, Op::Write, Op::Seek, Op::Size, Op::SetEnd,
                                      Op::GetTimes, Op::SetTimes, Op::Flush, Op::Rename,
                                      Op::Remove});
}

struct Scene {
    qxv_test::TempFolder folder;
    std::string container = folder.file("c.qxv"), out = folder.file("c"),
                stub = folder.file("stub"), executable = folder.file("c.exe");
    Bytes original = qxv_test::pattern(3 * 16384 + 33, 5);
    Bytes container_bytes, stub_bytes = qxv_test::pattern(5000, 6);

    Scene() {
        write_all(container, original);
        EXPECT_EQ(container_crypt_file(container.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
        container_bytes = read_all(container);
        write_all(stub, stub_bytes);
    }
    Bytes joined() const {
        Bytes bytes = stub_bytes;
        bytes.insert(bytes.end(), container_bytes.begin(), container_bytes.end());
        return bytes;
    }
};

// With the device broken for good the encryption cannot always take itself back: then its
// journal stays, and the next run on a sound device finishes the encryption.
TEST(PersistentFaults, EncryptionLeavesThePlainFileOrAJournalThatFinishesIt) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("plain"), out = folder.file("out");
    const Bytes original = qxv_test::pattern(2 * 16384 + 100, 7);
    auto decrypted = [&] {
        EXPECT_EQ(container_crypt_file(path.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
        const Bytes bytes = read_all(out);
        std::filesystem::remove(out);
        return bytes;
    };
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    int result = CRYPT_OK, finished_later = 0;
    qxv_test::sweep(
        fs, all_injections(),
        [&] {
            std::filesystem::remove(journal_path(path));
            write_all(path, original);
        },
        [&] { result = container_crypt_file(path.c_str(), "", PASSWORD, 'A'); },
        [&](bool fired) {
            if (result == CRYPT_OK) {
                // Unnoticed only: a time not set, the folder sync after the journal is gone, a
                // short read of the journal (read on).
                EXPECT_TRUE(!fired || fs.armed_op() == Op::SetTimes || fs.armed_op() == Op::Flush ||
                            (fs.armed_op() == Op::Read && fs.fault() == Fault::Short));
            } else if (std::filesystem::exists(journal_path(path))) {
                EXPECT_TRUE(fired);
                EXPECT_EQ(container_crypt_file(path.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
                ++finished_later;
            } else {
                EXPECT_TRUE(fired);
                EXPECT_EQ(read_all(path), original);
                return;
            }
            EXPECT_FALSE(std::filesystem::exists(journal_path(path)));
            EXPECT_EQ(decrypted(), original);
        });
    std::printf("encryptions finished from their journal after a broken device: %d\n",
                finished_later);
}

TEST(PersistentFaults, DecryptionLeavesTheContainerAndNoTarget) {
    Scene scene;
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    int result = CRYPT_OK;
    qxv_test::sweep(
        fs, all_injections(), [] {},
        [&] {
            result =
                container_crypt_file(scene.container.c_str(), scene.out.c_str(), PASSWORD, 'C');
        },
        [&](bool fired) {
            EXPECT_EQ(read_all(scene.container), scene.container_bytes);
            if (result == CRYPT_OK) {
                // Only calls whose failure changes nothing may pass unnoticed.
                EXPECT_TRUE(!fired || fs.armed_op() == Op::SetTimes ||
                            fs.armed_op() == Op::GetTimes);
                EXPECT_EQ(read_all(scene.out), scene.original);
                std::filesystem::remove(scene.out);
                return;
            }
            EXPECT_TRUE(fired);
            EXPECT_TRUE(result == CRYPT_ERR_FILE || result == CRYPT_ERR_FORMAT) << result;
            EXPECT_FALSE(std::filesystem::exists(scene.out));
        });
}

TEST(PersistentFaults, AProbeThatCannotReadSaysSo) {
    Scene scene;
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    for (Repeat repeat : {Repeat::Once, Repeat::FromThen})
        for (Op op : {Op::Read, Op::Seek, Op::Size}) {
            char algorithm[PROBE_ALGORITHM_BUFFER_SIZE] = {};
            fs.arm(op, 1, Fault::Fail, repeat);
            EXPECT_EQ(container_probe(scene.container.c_str(), algorithm), PROBE_CANNOT_OPEN)
                << qxv_test::op_name(op);
            fs.disarm();
        }
}

TEST(PersistentFaults, TheBuildLeavesAWholeExecutableOrNone) {
    Scene scene;
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    SfxResult result;
    qxv_test::sweep(
        fs, all_injections(),
        [&] {
            std::filesystem::remove(scene.executable);
            write_all(scene.container, scene.container_bytes);
        },
        [&] { result = container_build_sfx(scene.stub, scene.executable, scene.container, true); },
        [&](bool fired) {
            if (result.code != SFX_OK) {
                EXPECT_TRUE(fired);
                EXPECT_FALSE(std::filesystem::exists(scene.executable));
                EXPECT_EQ(read_all(scene.container), scene.container_bytes);
                return;
            }
            EXPECT_EQ(read_all(scene.executable), scene.joined());
            // A short read ends the copy early, which the size check then refuses; only the
            // deletion of the container may fail and leave it, whole, and say so.
            if (result.container_kept) {
                EXPECT_EQ(fs.armed_op(), Op::Remove);
                EXPECT_EQ(read_all(scene.container), scene.container_bytes);
            } else {
                EXPECT_FALSE(std::filesystem::exists(scene.container));
            }
        });
}

// The hook moves the file at `path` away just before the `nth` call of `op` and puts an
// intruder in its place.
void swap_before(FaultFileSystem &fs, Op op, int nth, const std::string &path) {
    fs.set_hook([=](Op called, int n) {
        if (called != op || n != nth) return;
        std::filesystem::rename(path, path + ".moved");
        write_all(path, {'i', 'n'});
    });
}

TEST(SwappedFiles, OnlyTheEnginesOwnFailedTargetIsRemoved) {
    Scene scene;
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    swap_before(fs, Op::Remove, 1, scene.out);
    fs.arm(Op::Write, 2);
    EXPECT_EQ(container_crypt_file(scene.container.c_str(), scene.out.c_str(), PASSWORD, 'C'),
              CRYPT_ERR_FILE);
    EXPECT_EQ(read_all(scene.out), (Bytes{'i', 'n'}));
}

TEST(SwappedFiles, TheBuildDeletesOnlyItsOwnExecutableAndTheContainerItCopied) {
    Scene scene;
    FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    swap_before(fs, Op::Remove, 1, scene.executable);
    fs.arm(Op::Write, 3);
    EXPECT_EQ(container_build_sfx(scene.stub, scene.executable, scene.container, true).code,
              SFX_ERR_WRITE);
    EXPECT_EQ(read_all(scene.executable), (Bytes{'i', 'n'}));
    EXPECT_EQ(read_all(scene.container), scene.container_bytes);

    std::filesystem::remove(scene.executable);
    swap_before(fs, Op::Remove, 1, scene.container);
    fs.arm(Op::Write, 0);
    const SfxResult built =
        container_build_sfx(scene.stub, scene.executable, scene.container, true);
    EXPECT_EQ(built.code, SFX_OK);
    EXPECT_TRUE(built.container_kept);
    EXPECT_EQ(read_all(scene.container), (Bytes{'i', 'n'}));
    EXPECT_EQ(read_all(scene.executable), scene.joined());
}

TEST(DecryptFile, TellsTheIdentityOfTheFileItMade) {
    Scene scene;
    platform::FileIdentity made;
    ASSERT_EQ(
        container_decrypt_file(scene.container.c_str(), scene.out.c_str(), PASSWORD, 'C', &made),
        CRYPT_OK);
    auto file = platform::native_file_system().open(scene.out, platform::Access::Read,
                                                    platform::Share::ReadWrite,
                                                    platform::Disposition::OpenExisting);
    ASSERT_TRUE(file);
    EXPECT_EQ(platform::identity_of(*file), made);
    EXPECT_EQ(
        container_decrypt_file(scene.container.c_str(), scene.out.c_str(), PASSWORD, 'A', &made),
        CRYPT_ERR_FORMAT)
        << "an encryption letter is refused";
}

} // namespace
