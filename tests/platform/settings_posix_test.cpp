// The file behind the settings store on POSIX systems: where it lives, its permissions, its
// atomic replacement and how it keeps what it does not understand.
#ifndef _WIN32
#include "platform/linux/settings_file.h"
#include "platform/settings.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using platform::SettingsKey;
using qxv_test::SettingsSandbox;

mode_t mode_of(const std::string &path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

ino_t inode_of(const std::string &path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

TEST(SettingsFile, IsOwnerOnlyAndReplacedWholeOnEveryWrite) {
    SettingsSandbox sandbox;
    auto key = SettingsKey::Open();
    const std::string file = sandbox.settings_file();
    EXPECT_EQ(mode_of(sandbox.folder().file("quillomar")), 0700u);
    EXPECT_EQ(mode_of(file), 0600u);

    ino_t before = inode_of(file);
    key->WriteBool("AES", true);
    EXPECT_NE(inode_of(file), before) << "a new file is renamed over the old one";
    EXPECT_EQ(mode_of(file), 0600u);
    before = inode_of(file);
    key->WriteBool("AES", true);
    EXPECT_EQ(inode_of(file), before) << "the same value again is not written";
    bool value = false;
    EXPECT_TRUE(key->ReadBool("AES", value).ok() && value);

    // No temporary file is left beside it.
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(sandbox.folder().path() / "quillomar")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(SettingsFile, FallsBackToHomeConfigWhenTheVariableIsUnset) {
    qxv_test::TempFolder home;
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    const char *xdg = getenv("XDG_CONFIG_HOME");
    std::string old_xdg = xdg ? xdg : "";
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.path().c_str(), 1);
    SettingsKey::Open()->WriteBool("MakeEXE", true);
    setenv("HOME", old_home.c_str(), 1);
    if (xdg) setenv("XDG_CONFIG_HOME", old_xdg.c_str(), 1);
    EXPECT_TRUE(std::filesystem::exists(home.file(".config/quillomar/settings")));
}

TEST(SettingsFile, TextIsReadableAndUnknownLinesSurviveARewrite) {
    SettingsSandbox sandbox;
    sandbox.set_line("Future", "qword:0000000000000001");
    sandbox.set_line("AES", "dword:1"); // malformed: not eight digits
    auto key = SettingsKey::Open();
    bool aes = false;
    EXPECT_FALSE(key->ReadBool("AES", aes).ok());
    const uint8_t v[2] = {0xab, 0x01};
    key->WriteBinary("HashKey", v, 2);
    key->WriteBool("MakeEXE", true);

    std::string text;
    ASSERT_TRUE(platform::settings_file_read(sandbox.settings_file(), text));
    EXPECT_NE(text.find("\"HashKey\"=hex:ab,01\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"MakeEXE\"=dword:00000001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Future\"=qword:0000000000000001\n"), std::string::npos) << text;
}

TEST(SettingsFile, ParserRejectsMalformedHexAndKeepsCrLfFiles) {
    auto values = platform::settings_file_parse("\"A\"=hex:0g\r\n\"B\"=hex:01,\r\n"
                                                "\"C\"=hex:\r\n\"D\"=dword:0000000A\r\n"
                                                "garbage\n; comment\n");
    EXPECT_EQ(values["A"].type, platform::SettingsType::Unknown);
    EXPECT_EQ(values["B"].type, platform::SettingsType::Unknown);
    EXPECT_EQ(values["C"].type, platform::SettingsType::Binary);
    EXPECT_TRUE(values["C"].data.empty());
    ASSERT_EQ(values["D"].type, platform::SettingsType::Dword);
    EXPECT_EQ(values["D"].data[0], 10);
    EXPECT_EQ(values.size(), 4u);
}

TEST(SettingsFile, AFailedAtomicWriteLeavesTheOldFile) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("settings");
    ASSERT_TRUE(platform::settings_file_write_atomic(path, "old\n"));
    EXPECT_FALSE(platform::settings_file_write_atomic(folder.file("missing/settings"), "x"));
    // A folder in the way of the rename makes it fail after the temporary file was written.
    std::filesystem::create_directory(folder.file("blocked"));
    std::filesystem::create_directory(folder.file("blocked/inside"));
    EXPECT_FALSE(platform::settings_file_write_atomic(folder.file("blocked"), "new\n"));
    std::string text;
    ASSERT_TRUE(platform::settings_file_read(path, text));
    EXPECT_EQ(text, "old\n");
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(folder.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "the temporary file of the failed write is removed";
}

// Temporary files of a writer that died are removed by the next write, once old enough that
// no writer can still be at work, and only when they are recognisably ours.
TEST(SettingsFile, StaleTemporaryFilesOfOursAreRemoved) {
    qxv_test::TempFolder folder;
    const std::string path = folder.file("settings");
    struct Left {
        const char *name;
        std::string text;
        bool old;
        bool removed;
    };
    const Left cases[] = {
        {"settings.a1B2c3", "; Quillomar settings\n\"Key\"=dword:00000001\n", true, true},
        {"settings.d4E5f6", "", true, true},
        {"settings.g7H8i9", "; Quillomar settings\n", false, false}, // perhaps still written
        {"settings.j0K1l2", "someone else's", true, false},
        {"settings.m3N4", "", true, false},
        {"other.o5P6q7", "", true, false},
    };
    for (const Left &left : cases) {
        const std::string file = folder.file(left.name);
        std::vector<uint8_t> bytes(left.text.begin(), left.text.end());
        qxv_test::write_all(file, bytes);
        std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
        if (left.old)
            std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() -
                                                       std::chrono::hours(1));
    }
    ASSERT_TRUE(platform::settings_file_write_atomic(path, "new\n"));
    for (const Left &left : cases)
        EXPECT_EQ(std::filesystem::exists(folder.file(left.name)), !left.removed) << left.name;
}

} // namespace
#endif
