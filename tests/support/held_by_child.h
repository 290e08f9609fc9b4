// A child process that holds a file open (read access, read and write shared) through the
// platform layer until the object goes out of scope. POSIX: a forked child. Windows: the test
// program started again, which sees QXV_HOLD_PATH before any test runs, holds the file, writes
// "<path>.ready" and waits for "<path>.release".
#pragma once

#include "platform/file_system.h"

#include <string>

#ifdef _WIN32
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qxv_test {

#ifdef _WIN32

namespace held_by_child_detail {

inline bool wait_for(const std::string &path) {
    for (int i = 0; i < 3000; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The child's side, run while the program starts.
inline bool hold_if_asked() {
    const char *path = std::getenv("QXV_HOLD_PATH");
    if (path == nullptr || *path == '\0') return false;
    auto held = platform::native_file_system().open(path, platform::Access::Read,
                                                    platform::Share::ReadWrite,
                                                    platform::Disposition::OpenExisting);
    if (held) {
        CloseHandle(CreateFileA((std::string(path) + ".ready").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, 0, nullptr));
        wait_for(std::string(path) + ".release");
    }
    ExitProcess(held ? 0 : 1);
}

inline const bool child_mode = hold_if_asked();

} // namespace held_by_child_detail

class HeldByChild {
public:
    explicit HeldByChild(const std::string &path) : path_(path) {
        const std::wstring self =
            std::filesystem::path(platform::native_file_system().module_path()).wstring();
        std::wstring command = L"\"" + self + L"\" --gtest_list_tests";
        SetEnvironmentVariableA("QXV_HOLD_PATH", path.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        const bool started = CreateProcessW(self.c_str(), command.data(), nullptr, nullptr, FALSE,
                                            0, nullptr, nullptr, &startup, &process_);
        SetEnvironmentVariableA("QXV_HOLD_PATH", nullptr);
        if (!started) return;
        CloseHandle(process_.hThread);
        holding_ = held_by_child_detail::wait_for(path_ + ".ready");
    }
    ~HeldByChild() {
        if (process_.hProcess == nullptr) return;
        CloseHandle(CreateFileA((path_ + ".release").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                0, nullptr));
        WaitForSingleObject(process_.hProcess, 30000);
        CloseHandle(process_.hProcess);
        DeleteFileA((path_ + ".ready").c_str());
        DeleteFileA((path_ + ".release").c_str());
    }
    HeldByChild(const HeldByChild &) = delete;
    HeldByChild &operator=(const HeldByChild &) = delete;

    bool holding() const { return holding_; }

private:
    std::string path_;
    PROCESS_INFORMATION process_{};
    bool holding_ = false;
};

#else

class HeldByChild {
public:
    explicit HeldByChild(const std::string &path) {
        if (pipe(ready_) != 0 || pipe(release_) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            auto held = platform::native_file_system().open(path, platform::Access::Read,
                                                            platform::Share::ReadWrite,
                                                            platform::Disposition::OpenExisting);
            char byte = held ? 1 : 0;
            (void)!write(ready_[1], &byte, 1);
            (void)!read(release_[0], &byte, 1);
            _exit(0);
        }
        char byte = 0;
        holding_ = child_ > 0 && read(ready_[0], &byte, 1) == 1 && byte == 1;
    }
    ~HeldByChild() {
        const char byte = 0;
        if (child_ > 0) {
            (void)!write(release_[1], &byte, 1);
            waitpid(child_, nullptr, 0);
        }
        for (int fd : {ready_[0], ready_[1], release_[0], release_[1]})
            if (fd >= 0) close(fd);
    }
    HeldByChild(const HeldByChild &) = delete;
    HeldByChild &operator=(const HeldByChild &) = delete;

    bool holding() const { return holding_; }

private:
    int ready_[2] = {-1, -1};
    int release_[2] = {-1, -1};
    pid_t child_ = -1;
    bool holding_ = false;
};

#endif

} // namespace qxv_test
