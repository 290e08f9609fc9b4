// File identity and the deletes and renames that act only on the file a handle was opened on.
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

using platform::Access;
using platform::Disposition;
using platform::FileIdentity;
using platform::Share;
using qxv_test::read_all;
using qxv_test::write_all;
using Bytes = std::vector<uint8_t>;

namespace {

platform::FileSystem &fs() {
    return platform::native_file_system();
}

std::unique_ptr<platform::File> hold(const std::string &path,
                                     Share share = Share::ReadWriteDelete) {
    return fs().open(path, Access::Read, share, Disposition::OpenExisting);
}

FileIdentity identity(platform::File &file) {
    const auto id = platform::identity_of(file);
    EXPECT_TRUE(id.has_value());
    return id.value_or(FileIdentity{});
}

struct Scene {
    qxv_test::TempFolder folder;
    std::string path = folder.file("report.doc"), other = folder.file("intruder.doc");
    Scene() {
        write_all(path, {1, 2, 3});
        write_all(other, {7, 7});
    }
    // Another file takes the name while the first one stays open elsewhere.
    void swap_in() {
        std::filesystem::rename(path, folder.file("moved-away"));
        std::filesystem::rename(other, path);
    }
};

TEST(FileIdentity, SameFileThroughEveryHandleAndNameOnly) {
    Scene scene;
    auto a = hold(scene.path);
    auto b = fs().open(scene.path, Access::Write, Share::ReadWrite, Disposition::OpenExisting);
    auto c = hold(scene.other);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(identity(*a), identity(*b));
    EXPECT_NE(identity(*a), identity(*c));
    const FileIdentity before = identity(*a);
    b.reset(); // it does not let the file be renamed on Windows
    std::filesystem::rename(scene.path, scene.folder.file("renamed"));
    // A rename keeps the file what it is. (Read through a new handle: Wine loses the volume
    // serial number of a handle whose file was renamed by another.)
    auto renamed = hold(scene.folder.file("renamed"));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(identity(*renamed), before);
}

TEST(FileIdentity, RemoveOnlyTheFileTheHandleIsOn) {
    Scene scene;
    auto held = hold(scene.path);
    ASSERT_TRUE(held);
    const FileIdentity id = identity(*held);
    scene.swap_in();
    EXPECT_FALSE(fs().remove_file_if_same(scene.path, id));
    EXPECT_EQ(read_all(scene.path), (Bytes{7, 7}));
    EXPECT_FALSE(fs().remove_file_if_same(scene.folder.file("absent"), id));

    std::filesystem::rename(scene.path, scene.other);
    std::filesystem::rename(scene.folder.file("moved-away"), scene.path);
    // Deleting works while this program still holds the file open.
    EXPECT_TRUE(fs().remove_file_if_same(scene.path, id));
    held.reset();
    EXPECT_FALSE(std::filesystem::exists(scene.path));
    EXPECT_EQ(read_all(scene.other), (Bytes{7, 7}));
}

TEST(FileIdentity, RenameOnlyTheFileTheHandleIsOnAndNeverOverAnother) {
    Scene scene;
    auto held = hold(scene.path);
    ASSERT_TRUE(held);
    const FileIdentity id = identity(*held);
    const std::string target = scene.folder.file("report.doc.qxv");

    EXPECT_FALSE(fs().rename_no_replace_if_same(scene.path, scene.other, id));
    EXPECT_EQ(read_all(scene.other), (Bytes{7, 7}));
    EXPECT_EQ(read_all(scene.path), (Bytes{1, 2, 3}));

    scene.swap_in();
    EXPECT_FALSE(fs().rename_no_replace_if_same(scene.path, target, id));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(read_all(scene.path), (Bytes{7, 7}));

    EXPECT_TRUE(fs().rename_no_replace_if_same(scene.folder.file("moved-away"), target, id));
    EXPECT_EQ(read_all(target), (Bytes{1, 2, 3}));
    held.reset();
    EXPECT_FALSE(std::filesystem::exists(scene.folder.file("moved-away")));
}

TEST(FileIdentity, AFolderIsNeverTakenForTheFile) {
    Scene scene;
    const std::string sub = scene.folder.file("sub");
    std::filesystem::create_directory(sub);
    auto held = hold(scene.path);
    ASSERT_TRUE(held);
    const FileIdentity id = identity(*held);
    EXPECT_FALSE(fs().remove_file_if_same(sub, id));
    EXPECT_FALSE(fs().rename_no_replace_if_same(sub, scene.folder.file("sub2"), id));
    EXPECT_TRUE(std::filesystem::is_directory(sub));
}

#ifndef _WIN32
TEST(FileIdentity, ASymbolicLinkToTheFileIsNotTheFile) {
    Scene scene;
    const std::string link = scene.folder.file("link.doc");
    std::filesystem::create_symlink(scene.path, link);
    auto held = hold(scene.path);
    ASSERT_TRUE(held);
    const FileIdentity id = identity(*held);
    EXPECT_FALSE(fs().remove_file_if_same(link, id));
    EXPECT_FALSE(fs().rename_no_replace_if_same(link, scene.folder.file("x"), id));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(read_all(scene.path), (Bytes{1, 2, 3}));
}
#endif

// The handle the batch keeps while the engine works: the engine's reader and its in-place
// writer must still be able to open the file.
TEST(FileIdentity, AHeldFileCanStillBeEncryptedInPlace) {
    for (Share share : {Share::ReadWrite, Share::ReadWriteDelete}) {
        Scene scene;
        auto held = hold(scene.path, share);
        ASSERT_TRUE(held);
        auto reader =
            fs().open(scene.path, Access::Read, Share::ReadWrite, Disposition::OpenExisting);
        auto writer = fs().open(scene.path, Access::Write, Share::Read, Disposition::OpenExisting);
        EXPECT_TRUE(reader);
        EXPECT_TRUE(writer);
    }
}

TEST(File, FlushSucceedsOnAWrittenFile) {
    qxv_test::TempFolder folder;
    auto file = fs().open(folder.file("f"), Access::Write, Share::None, Disposition::CreateNew);
    ASSERT_TRUE(file);
    const Bytes data = qxv_test::pattern(100000);
    ASSERT_TRUE(platform::write_exact(*file, data.data(), data.size()));
    EXPECT_TRUE(file->flush());
    EXPECT_TRUE(fs().sync_folder(platform::folder_of(folder.file("f"))));
}

} // namespace
