// Sharing modes: the combinations the engine, the probe and the self-decrypting build rely on,
// with the outcome Windows gives them.
#include "platform/file_system.h"
#include "tests/support/held_by_child.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using platform::Access;
using platform::Disposition;
using platform::Share;

namespace {

struct SharingCase {
    Access held_access;
    Share held_share;
    Access new_access;
    Share new_share;
    bool opens;
};

TEST(Sharing, SecondHandleFollowsWindowsRules) {
    const SharingCase cases[] = {
        // The engine's two handles on the file it encrypts.
        {Access::Read, Share::ReadWrite, Access::Write, Share::Read, true},
        // A reader may join the engine's writing handle; another writer may not.
        {Access::Write, Share::Read, Access::Read, Share::ReadWrite, true},
        {Access::Write, Share::Read, Access::Write, Share::ReadWrite, false},
        // The probe's unshared open fails under any other handle.
        {Access::Read, Share::ReadWrite, Access::Read, Share::None, false},
        {Access::Write, Share::Read, Access::Read, Share::None, false},
        // A handle that shares nothing keeps everyone out.
        {Access::Write, Share::None, Access::Read, Share::ReadWrite, false},
        {Access::Read, Share::None, Access::Read, Share::ReadWrite, false},
        // Readers that allow reading only keep writers out but admit readers.
        {Access::Read, Share::Read, Access::Read, Share::ReadWrite, true},
        {Access::Read, Share::Read, Access::ReadWrite, Share::ReadWrite, false},
    };
    qxv_test::TempFolder folder;
    const std::string path = folder.file("shared.bin");
    qxv_test::write_all(path, {1, 2, 3});
    auto &fs = platform::native_file_system();
    int index = 0;
    for (const auto &c : cases) {
        auto held = fs.open(path, c.held_access, c.held_share, Disposition::OpenExisting);
        ASSERT_NE(held, nullptr) << "case " << index;
        auto second = fs.open(path, c.new_access, c.new_share, Disposition::OpenExisting);
        EXPECT_EQ(second != nullptr, c.opens) << "case " << index;
        ++index;
    }
    // Everything closed: the unshared open succeeds again.
    EXPECT_NE(fs.open(path, Access::Read, Share::None, Disposition::OpenExisting), nullptr);
}

// Another process holding the file keeps an unshared open out, and only while it holds it.
TEST(Sharing, HandleOfAnotherProcessIsSeen) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("held.bin");
    qxv_test::write_all(path, {7});
    auto &fs = platform::native_file_system();
    {
        qxv_test::HeldByChild child(path);
        ASSERT_TRUE(child.holding());
        EXPECT_EQ(fs.open(path, Access::Read, Share::None, Disposition::OpenExisting), nullptr);
        EXPECT_NE(fs.open(path, Access::Read, Share::ReadWrite, Disposition::OpenExisting),
                  nullptr);
    }
    EXPECT_NE(fs.open(path, Access::Read, Share::None, Disposition::OpenExisting), nullptr);
}

TEST(Sharing, CreateAlwaysDoesNotTruncateAFileItMayNotOpen) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("busy.bin");
    qxv_test::write_all(path, {1, 2, 3, 4});
    auto &fs = platform::native_file_system();
    auto held = fs.open(path, Access::Read, Share::None, Disposition::OpenExisting);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(fs.open(path, Access::Write, Share::None, Disposition::CreateAlways), nullptr);
    held.reset();
    EXPECT_EQ(qxv_test::read_all(path).size(), 4u);
}

} // namespace
