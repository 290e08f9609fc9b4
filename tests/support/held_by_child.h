// POSIX: a child process that holds a file open (read access, read and write shared) through
// the platform layer until the object goes out of scope.
#pragma once

#ifndef _WIN32
#include "platform/file_system.h"

#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qxv_test {

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

} // namespace qxv_test
#endif
