// Opening an address and finding the stub file, through the platform layer.
#include "platform/file_system.h"
#include "platform/shell_open.h"
#include "platform/stub_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

#ifndef _WIN32
// A stand-in for xdg-open that writes its arguments, one per line, to a file.
TEST(ShellOpen, PassesTheTargetAsOneArgumentWithoutAShell) {
    qxv_test::TempFolder folder;
    const std::string log = folder.file("log");
    const std::string script = folder.file("xdg-open");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << log << "'; done\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const char *old_path = std::getenv("PATH");
    std::string saved = old_path ? old_path : "";
    setenv("PATH", folder.path().c_str(), 1);

    const std::string target = "https://www.orvanel.example/a b;$(touch x)&c='d'";
    bool started = platform::shell_open(target);
    setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(started);

    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        auto bytes = qxv_test::read_all(log);
        text.assign(bytes.begin(), bytes.end());
    }
    EXPECT_EQ(text, target + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("x")));
}
#endif

TEST(StubFile, IsLookedForBesideTheRunningProgram) {
    const std::string module = platform::native_file_system().module_path();
    const std::string path = platform::stub_file_path();
#ifdef _WIN32
    const std::string name = "qxvsd.exe";
#else
    const std::string name = "qxvsd";
#endif
    ASSERT_EQ(path, platform::folder_of(module) + name);
    ASSERT_FALSE(std::filesystem::exists(std::filesystem::u8path(path))) << "left from a run?";
    EXPECT_FALSE(platform::stub_file_present());

    std::filesystem::create_directory(std::filesystem::u8path(path));
    EXPECT_FALSE(platform::stub_file_present()) << "a folder of that name is no stub";
    std::filesystem::remove(std::filesystem::u8path(path));

    qxv_test::write_all(path, {'M', 'Z'});
    EXPECT_TRUE(platform::stub_file_present());
    std::filesystem::remove(std::filesystem::u8path(path));
}

} // namespace
