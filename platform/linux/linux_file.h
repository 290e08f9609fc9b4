// An open file on Linux, with Windows-style sharing emulated by open-file-description locks
// (see linux_sharing.h).
#pragma once

#include "platform/file_system.h"

#include <sys/types.h>

namespace platform::linux_os {

class LinuxFile final : public File {
public:
    // `positioned`: a regular file, read and written at a position kept here.
    LinuxFile(int fd, bool positioned) : fd_(fd), positioned_(positioned) {}
    ~LinuxFile() override;
    LinuxFile(const LinuxFile &) = delete;
    LinuxFile &operator=(const LinuxFile &) = delete;

    bool read(void *buffer, size_t count, size_t *done) override;
    bool write(const void *buffer, size_t count, size_t *done) override;
    bool seek(int64_t offset, Origin origin, uint64_t *position) override;
    bool set_end() override;
    bool size(uint64_t *size) override;
    bool get_times(FileTimes *times) override;
    bool set_times(const FileTimes &times) override;
    bool flush() override;
    void start_write_back(uint64_t offset, uint64_t length) override;
    bool get_permissions(uint32_t *mode) override;
    bool set_permissions(uint32_t mode) override;
    bool identity(FileIdentity *identity) override;
    bool link_count(uint64_t *count) override;

private:
    int fd_;
    const bool positioned_;
    off_t offset_ = 0;
};

std::unique_ptr<File> open_file(const std::string &path, Access access, Share share,
                                Disposition disposition);
std::unique_ptr<File> open_stream(const std::string &path);

// 100-ns intervals since 1601 <-> seconds and nanoseconds since 1970.
uint64_t to_file_time(int64_t seconds, uint32_t nanoseconds);
void from_file_time(uint64_t file_time, int64_t *seconds, long *nanoseconds);

} // namespace platform::linux_os
