// The file handle and the folder operations against the real file system.
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wine.h"

#include <algorithm>
#include <gtest/gtest.h>

using platform::Access;
using platform::Disposition;
using platform::Origin;
using platform::Share;

namespace {

platform::FileSystem &fs() {
    return platform::native_file_system();
}

TEST(File, DispositionsAndReadsAtTheEnd) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("a.bin");
    EXPECT_EQ(fs().open(path, Access::Read, Share::ReadWrite, Disposition::OpenExisting), nullptr);
    auto file = fs().open(path, Access::ReadWrite, Share::None, Disposition::CreateNew);
    ASSERT_NE(file, nullptr);
    const auto data = qxv_test::pattern(1000);
    ASSERT_TRUE(platform::write_exact(*file, data.data(), data.size()));
    file.reset();
    EXPECT_EQ(fs().open(path, Access::Write, Share::None, Disposition::CreateNew), nullptr);
    EXPECT_EQ(qxv_test::read_all(path), data);

    file = fs().open(path, Access::Read, Share::ReadWrite, Disposition::OpenExisting);
    ASSERT_NE(file, nullptr);
    uint64_t size = 0, position = 0;
    ASSERT_TRUE(file->size(&size));
    EXPECT_EQ(size, 1000u);
    ASSERT_TRUE(file->seek(-4, Origin::End, &position));
    EXPECT_EQ(position, 996u);
    uint8_t buffer[16];
    size_t done = 99;
    ASSERT_TRUE(file->read(buffer, sizeof buffer, &done));
    EXPECT_EQ(done, 4u);
    EXPECT_TRUE(std::equal(buffer, buffer + 4, data.end() - 4));
    ASSERT_TRUE(file->read(buffer, sizeof buffer, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(platform::read_exact(*file, buffer, 1));

    file.reset();
    file = fs().open(path, Access::Write, Share::None, Disposition::CreateAlways);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->size(&size));
    EXPECT_EQ(size, 0u);
}

TEST(File, SetEndExtendsWithZerosAndCuts) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("grow.bin");
    qxv_test::write_all(path, {9, 9, 9});
    auto file = fs().open(path, Access::Write, Share::Read, Disposition::OpenExisting);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->seek(1 << 20, Origin::Begin));
    ASSERT_TRUE(file->set_end());
    uint64_t size = 0;
    ASSERT_TRUE(file->size(&size));
    EXPECT_EQ(size, 1u << 20);
    ASSERT_TRUE(file->seek(2, Origin::Begin));
    ASSERT_TRUE(file->set_end());
    file.reset();
    EXPECT_EQ(qxv_test::read_all(path), (std::vector<uint8_t>{9, 9}));

    file = fs().open(path, Access::Write, Share::Read, Disposition::OpenExisting);
    ASSERT_TRUE(file->seek(40000, Origin::Begin));
    ASSERT_TRUE(file->set_end());
    file.reset();
    const auto grown = qxv_test::read_all(path);
    ASSERT_EQ(grown.size(), 40000u);
    EXPECT_TRUE(std::all_of(grown.begin() + 2, grown.end(), [](uint8_t b) { return b == 0; }));
}

// Seeks from every origin, reads and writes in any order, against a model of the file: each
// read or write happens where the last one or the last seek left the position, and a seek
// before the start fails and leaves it where it was.
TEST(File, PositionFollowsSeeksReadsAndWrites) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("moves.bin");
    auto file = fs().open(path, Access::ReadWrite, Share::None, Disposition::CreateNew);
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> model;
    uint64_t at = 0;
    uint32_t state = 12345;
    auto next = [&state](uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % below;
    };
    for (int step = 0; step < 3000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const uint32_t length = next(300);
        switch (next(5)) {
        case 0: { // from the start, sometimes past the end
            uint64_t position = 0;
            ASSERT_TRUE(file->seek(next(model.size() + 400), Origin::Begin, &position));
            at = position;
            break;
        }
        case 1: { // back or forth from here, sometimes before the start
            const int64_t by = static_cast<int64_t>(next(600)) - 300;
            uint64_t position = 0;
            const bool valid = static_cast<int64_t>(at) + by >= 0;
            ASSERT_EQ(file->seek(by, Origin::Current, &position), valid);
            if (valid) at = position;
            break;
        }
        case 2: { // from the end
            const int64_t by = -static_cast<int64_t>(next(model.size() + 1));
            uint64_t position = 0;
            ASSERT_TRUE(file->seek(by, Origin::End, &position));
            EXPECT_EQ(position, model.size() + by);
            at = position;
            break;
        }
        case 3: { // a read, short at the end
            std::vector<uint8_t> got(length);
            size_t done = 0;
            ASSERT_TRUE(file->read(got.data(), length, &done));
            const uint64_t left = at < model.size() ? model.size() - at : 0;
            ASSERT_EQ(done, std::min<uint64_t>(length, left));
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + done, model.begin() + at));
            at += done;
            break;
        }
        default: { // a write, past the end leaving zeros between
            const auto data = qxv_test::pattern(length, static_cast<uint32_t>(step));
            ASSERT_TRUE(platform::write_exact(*file, data.data(), data.size()));
            if (model.size() < at + length) model.resize(at + length, 0);
            std::copy(data.begin(), data.end(), model.begin() + at);
            at += length;
        }
        }
        uint64_t size = 0;
        ASSERT_TRUE(file->size(&size));
        ASSERT_EQ(size, model.size());
    }
    file.reset();
    EXPECT_EQ(qxv_test::read_all(path), model);
}

TEST(File, TimesRoundTrip) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("times.bin");
    qxv_test::write_all(path, {1});
    // Ticks since 1601: 2001-09-09, 2010-01-01 with a sub-second part, 1997-02-13.
    platform::FileTimes wanted;
    wanted.write = 126444384000000000ull;
    wanted.access = 129067776001234567ull;
    wanted.creation = 125000000000000000ull;
    {
        auto file = fs().open(path, Access::Write, Share::Read, Disposition::OpenExisting);
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(file->set_times(wanted));
    }
    auto file = fs().open(path, Access::Read, Share::ReadWrite, Disposition::OpenExisting);
    platform::FileTimes got;
    ASSERT_TRUE(file->get_times(&got));
    EXPECT_EQ(got.write, wanted.write);
    EXPECT_EQ(got.access, wanted.access);
#ifdef _WIN32
    if (!qxv_test::running_under_wine()) {
        EXPECT_EQ(got.creation, wanted.creation);
    }
#endif
    // Zero leaves a time as it is.
    platform::FileTimes only_write;
    only_write.write = wanted.write + 10000000;
    {
        auto writer = fs().open(path, Access::Write, Share::Read, Disposition::OpenExisting);
        ASSERT_TRUE(writer->set_times(only_write));
    }
    ASSERT_TRUE(file->get_times(&got));
    EXPECT_EQ(got.write, only_write.write);
    EXPECT_EQ(got.access, wanted.access);
}

TEST(FileSystem, CopyAndRenameNeverReplace) {
    qxv_test::TempFolder folder;
    const std::string a = folder.file("a"), b = folder.file("b"), c = folder.file("c");
    const auto data = qxv_test::pattern(70000);
    qxv_test::write_all(a, data);
    qxv_test::write_all(b, {1});
    EXPECT_FALSE(fs().copy_file_no_replace(a, b));
    EXPECT_EQ(qxv_test::read_all(b), (std::vector<uint8_t>{1}));
    EXPECT_TRUE(fs().copy_file_no_replace(a, c));
    EXPECT_EQ(qxv_test::read_all(c), data);
    EXPECT_FALSE(fs().copy_file_no_replace(folder.file("missing"), folder.file("d")));
    EXPECT_FALSE(fs().exists(folder.file("d")));

    EXPECT_FALSE(fs().rename_no_replace(a, b));
    EXPECT_EQ(qxv_test::read_all(a), data);
    EXPECT_EQ(qxv_test::read_all(b), (std::vector<uint8_t>{1}));
    EXPECT_TRUE(fs().rename_no_replace(a, folder.file("moved")));
    EXPECT_FALSE(fs().exists(a));
    EXPECT_EQ(qxv_test::read_all(folder.file("moved")), data);

    EXPECT_TRUE(fs().remove_file(c));
    EXPECT_FALSE(fs().exists(c));
    EXPECT_FALSE(fs().remove_file(c));
}

TEST(FileSystem, FolderListingAndAttributes) {
    qxv_test::TempFolder folder;
    std::filesystem::create_directory(folder.path() / "sub");
    qxv_test::write_all(folder.file("one.txt"), {1, 2});
    qxv_test::write_all(folder.file(".hidden"), {});
    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(fs().list_folder(folder.path().string(), &entries));
    std::sort(entries.begin(), entries.end(),
              [](const auto &x, const auto &y) { return x.name < y.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, ".hidden");
    EXPECT_EQ(entries[1].name, "one.txt");
    EXPECT_FALSE(entries[1].is_folder);
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_TRUE(entries[2].is_folder);

    auto attributes = fs().attributes(folder.file("one.txt"));
    ASSERT_TRUE(attributes.has_value());
    EXPECT_FALSE(attributes->is_folder);
    EXPECT_EQ(attributes->size, 2u);
    EXPECT_TRUE(fs().attributes(folder.file("sub"))->is_folder);
    EXPECT_FALSE(fs().attributes(folder.file("nothing")).has_value());
    EXPECT_FALSE(fs().list_folder(folder.file("nothing"), &entries));
    // A folder is no file to open.
    EXPECT_EQ(
        fs().open(folder.file("sub"), Access::Read, Share::ReadWrite, Disposition::OpenExisting),
        nullptr);
}

TEST(FileSystem, NonAsciiNamesRoundTrip) {
    qxv_test::TempFolder folder;
    const std::string name = "gr\xC3\xBC\xC3\x9F"
                             "e-\xE2\x82\xAC.txt"; // "grüße-€.txt"
    const std::string path = folder.path().string() + "/" + name;
    auto file = fs().open(path, Access::Write, Share::None, Disposition::CreateNew);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(platform::write_exact(*file, "x", 1));
    file.reset();
    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(fs().list_folder(folder.path().string(), &entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, name);
    EXPECT_TRUE(fs().rename_no_replace(path, path + ".qxv"));
    EXPECT_EQ(fs().attributes(path + ".qxv")->size, 1u);
}

// Paths beyond the 260 characters of the classic Windows limit.
TEST(FileSystem, LongPaths) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file(std::string(240, 'n') + ".txt");
    ASSERT_GT(path.size(), 260u);
    auto file = fs().open(path, Access::Write, Share::None, Disposition::CreateNew);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(platform::write_exact(*file, "long", 4));
    file.reset();
    EXPECT_EQ(fs().attributes(path)->size, 4u);
    const std::string moved = folder.file(std::string(245, 'm'));
    EXPECT_TRUE(fs().copy_file_no_replace(path, moved + ".copy"));
    EXPECT_TRUE(fs().rename_no_replace(path, moved));
    EXPECT_EQ(fs().attributes(moved + ".copy")->size, 4u);
    EXPECT_TRUE(fs().remove_file(moved));
    EXPECT_TRUE(fs().remove_file(moved + ".copy"));
    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(fs().list_folder(folder.path().string(), &entries));
    EXPECT_TRUE(entries.empty());
}

TEST(FileSystem, ModulePathAndClock) {
    const std::string module = fs().module_path();
    ASSERT_FALSE(module.empty());
    EXPECT_NE(module.find("platform_tests"), std::string::npos) << module;
    EXPECT_TRUE(fs().exists(module));
    const std::string folder = platform::folder_of(module);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs().attributes(folder)->is_folder);

    const platform::LocalTime now = fs().local_time();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.weekday >= 0 && now.weekday <= 6);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
}

} // namespace
