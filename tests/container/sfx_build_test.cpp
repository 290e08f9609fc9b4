// The self-decrypting build: stub then container, byte for byte; the container goes only once
// the executable is whole; every failure removes the incomplete executable.
#include "container/container.h"
#include "container/sfx_build.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using Bytes = std::vector<uint8_t>;
using qxv_test::read_all;
using qxv_test::write_all;

namespace {

struct Files {
    qxv_test::TempFolder folder;
    std::string stub = folder.file("qxvsd"), plain = folder.file("report.doc"),
                container = plain + ".qxv", executable = sfx_executable_path(plain);
    Bytes stub_bytes = qxv_test::pattern(20000, 3);
    Bytes container_bytes;

    explicit Files(size_t plain_size) {
        write_all(stub, stub_bytes);
        write_all(container, qxv_test::pattern(plain_size));
        EXPECT_EQ(container_crypt_file(container.c_str(), "", "password", 'A'), CRYPT_OK);
        container_bytes = read_all(container);
    }
    Bytes joined() const {
        Bytes bytes = stub_bytes;
        bytes.insert(bytes.end(), container_bytes.begin(), container_bytes.end());
        return bytes;
    }
};

TEST(SfxBuild, StubFollowedByTheWholeContainer) {
    for (size_t plain_size : {size_t{0}, size_t{16384 * 2 + 5}}) {
        Files files(plain_size);
        EXPECT_EQ(files.executable, files.plain + ".exe");
        const SfxResult kept =
            container_build_sfx(files.stub, files.executable, files.container, false);
        ASSERT_EQ(kept.code, SFX_OK);
        EXPECT_EQ(read_all(files.executable), files.joined());
        EXPECT_EQ(read_all(files.container), files.container_bytes);

        std::filesystem::remove(files.executable);
        ASSERT_EQ(container_build_sfx(files.stub, files.executable, files.container, true).code,
                  SFX_OK);
        EXPECT_EQ(read_all(files.executable), files.joined());
        EXPECT_FALSE(std::filesystem::exists(files.container));
    }
}

TEST(SfxBuild, FailuresKeepTheContainerAndNameTheCulprit) {
    Files files(100);
    const SfxResult missing_stub =
        container_build_sfx(files.folder.file("nostub"), files.executable, files.container, true);
    EXPECT_EQ(missing_stub.code, SFX_ERR_STUB);
    EXPECT_EQ(missing_stub.problem_path, files.folder.file("nostub"));
    EXPECT_FALSE(std::filesystem::exists(files.executable));
    EXPECT_EQ(read_all(files.container), files.container_bytes);

    const SfxResult missing_container =
        container_build_sfx(files.stub, files.executable, files.folder.file("none.qxv"), true);
    EXPECT_EQ(missing_container.code, SFX_ERR_CONTAINER);
    EXPECT_FALSE(std::filesystem::exists(files.executable));

    // An executable of that name is somebody's file: left alone, nothing built.
    write_all(files.executable, {1, 2, 3});
    const SfxResult existing =
        container_build_sfx(files.stub, files.executable, files.container, true);
    EXPECT_EQ(existing.code, SFX_ERR_WRITE);
    EXPECT_EQ(read_all(files.executable), (Bytes{1, 2, 3}));
    EXPECT_EQ(read_all(files.container), files.container_bytes);
}

TEST(SfxBuild, StubPathIsBesideTheModule) {
#ifdef _WIN32
    EXPECT_EQ(sfx_stub_path("C:\\Program Files\\Quillomar\\QXVShell.dll"),
              "C:\\Program Files\\Quillomar\\qxvsd.exe");
#else
    EXPECT_EQ(sfx_stub_path("/opt/quillomar/bin/quillomar"), "/opt/quillomar/bin/qxvsd");
#endif
}

TEST(SfxBuild, EveryFaultLeavesNoExecutableAndKeepsTheContainer) {
    using qxv_test::Fault;
    using qxv_test::Op;
    const struct {
        Op op;
        Fault fault;
    } injections[] = {{Op::Copy, Fault::Fail},  {Op::Open, Fault::Fail},  {Op::Read, Fault::Fail},
                      {Op::Read, Fault::Short}, {Op::Write, Fault::Fail}, {Op::Write, Fault::Short},
                      {Op::Seek, Fault::Fail},  {Op::Size, Fault::Fail},  {Op::SetEnd, Fault::Fail},
                      {Op::Flush, Fault::Fail}};
    Files files(16384 * 3 + 77);
    qxv_test::FaultFileSystem fs;
    qxv_test::ScopedFileSystem scope(fs);
    for (const auto &injection : injections) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE("op " + std::to_string(static_cast<int>(injection.op)) + " fault " +
                         std::to_string(static_cast<int>(injection.fault)) + " #" +
                         std::to_string(n));
            fs.arm(injection.op, n, injection.fault);
            const SfxResult result =
                container_build_sfx(files.stub, files.executable, files.container, true);
            fs.disarm();
            if (result.code == SFX_OK) {
                // Only a short read may pass unnoticed: the copy goes on until a read is empty.
                EXPECT_TRUE(!fs.fired() ||
                            (injection.op == Op::Read && injection.fault == Fault::Short));
                EXPECT_EQ(read_all(files.executable), files.joined());
                EXPECT_FALSE(std::filesystem::exists(files.container));
                std::filesystem::remove(files.executable);
                write_all(files.container, files.container_bytes);
                if (!fs.fired()) break;
                continue;
            }
            EXPECT_TRUE(fs.fired());
            EXPECT_FALSE(std::filesystem::exists(files.executable));
            EXPECT_EQ(read_all(files.container), files.container_bytes);
            if (result.code == SFX_ERR_STUB) {
                EXPECT_EQ(result.problem_path, files.stub);
            }
            if (testing::Test::HasFailure()) return;
        }
    }
}

} // namespace
