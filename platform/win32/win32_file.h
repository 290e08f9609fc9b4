// An open file on Windows: a handle from CreateFileW with the sharing mode asked for.
#pragma once

#include "platform/file_system.h"

#include <windows.h>

namespace platform::win32 {

class Win32File final : public File {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override;
    Win32File(const Win32File &) = delete;
    Win32File &operator=(const Win32File &) = delete;

    bool read(void *buffer, size_t count, size_t *done) override;
    bool write(const void *buffer, size_t count, size_t *done) override;
    bool seek(int64_t offset, Origin origin, uint64_t *position) override;
    bool set_end() override;
    bool size(uint64_t *size) override;
    bool get_times(FileTimes *times) override;
    bool set_times(const FileTimes &times) override;
    bool flush() override;
    bool identity(FileIdentity *identity) override;
    bool link_count(uint64_t *count) override;

private:
    HANDLE handle_;
};

std::unique_ptr<File> open_file(const std::string &path, Access access, Share share,
                                Disposition disposition);
std::unique_ptr<File> open_stream(const std::string &path);

// The identity of the file behind an open handle.
bool identity_of_handle(HANDLE handle, FileIdentity *identity);

} // namespace platform::win32
