#include "platform/win32/win32_file.h"

#include "platform/win32/utf16.h"

#include <algorithm>

namespace platform::win32 {

namespace {

constexpr size_t MAX_TRANSFER = 1u << 30; // ReadFile and WriteFile take 32-bit counts

uint64_t ticks_of(const FILETIME &time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME filetime_of(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

} // namespace

Win32File::~Win32File() {
    CloseHandle(handle_);
}

bool Win32File::read(void *buffer, size_t count, size_t *done) {
    *done = 0;
    auto *bytes = static_cast<uint8_t *>(buffer);
    while (*done < count) {
        DWORD got = 0;
        const DWORD ask = static_cast<DWORD>(std::min(count - *done, MAX_TRANSFER));
        if (!ReadFile(handle_, bytes + *done, ask, &got, nullptr)) return false;
        if (got == 0) break;
        *done += got;
    }
    return true;
}

bool Win32File::write(const void *buffer, size_t count, size_t *done) {
    *done = 0;
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    while (*done < count) {
        DWORD put = 0;
        const DWORD ask = static_cast<DWORD>(std::min(count - *done, MAX_TRANSFER));
        if (!WriteFile(handle_, bytes + *done, ask, &put, nullptr) || put == 0) return false;
        *done += put;
    }
    return true;
}

bool Win32File::seek(int64_t offset, Origin origin, uint64_t *position) {
    LARGE_INTEGER distance, at;
    distance.QuadPart = offset;
    const DWORD method = origin == Origin::Begin     ? FILE_BEGIN
                         : origin == Origin::Current ? FILE_CURRENT
                                                     : FILE_END;
    if (!SetFilePointerEx(handle_, distance, &at, method)) return false;
    if (position != nullptr) *position = static_cast<uint64_t>(at.QuadPart);
    return true;
}

bool Win32File::set_end() {
    return SetEndOfFile(handle_) != 0;
}

bool Win32File::size(uint64_t *size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle_, &value)) return false;
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool Win32File::get_times(FileTimes *times) {
    FILETIME creation, access, write;
    if (!GetFileTime(handle_, &creation, &access, &write)) return false;
    times->creation = ticks_of(creation);
    times->access = ticks_of(access);
    times->write = ticks_of(write);
    return true;
}

bool Win32File::set_times(const FileTimes &times) {
    const FILETIME creation = filetime_of(times.creation);
    const FILETIME access = filetime_of(times.access);
    const FILETIME write = filetime_of(times.write);
    return SetFileTime(handle_, times.creation != 0 ? &creation : nullptr,
                       times.access != 0 ? &access : nullptr,
                       times.write != 0 ? &write : nullptr) != 0;
}

bool Win32File::flush() {
    return FlushFileBuffers(handle_) != 0;
}

bool Win32File::identity(FileIdentity *identity) {
    return identity_of_handle(handle_, identity);
}

bool Win32File::link_count(uint64_t *count) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle_, &information)) return false;
    *count = information.nNumberOfLinks;
    return true;
}

bool identity_of_handle(HANDLE handle, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return false;
    identity->volume = information.dwVolumeSerialNumber;
    identity->index =
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

std::unique_ptr<File> open_file(const std::string &path, Access access, Share share,
                                Disposition disposition) {
    DWORD rights = FILE_READ_ATTRIBUTES;
    if (access != Access::Write) rights |= GENERIC_READ;
    if (access != Access::Read) rights |= GENERIC_WRITE;
    const DWORD sharing = share == Share::None   ? 0
                          : share == Share::Read ? FILE_SHARE_READ
                          : share == Share::ReadWrite
                              ? FILE_SHARE_READ | FILE_SHARE_WRITE
                              : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD creation = disposition == Disposition::OpenExisting ? OPEN_EXISTING
                           : disposition == Disposition::CreateNew  ? CREATE_NEW
                                                                    : CREATE_ALWAYS;
    const HANDLE handle = CreateFileW(wide_path(path).c_str(), rights, sharing, nullptr, creation,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
}

std::unique_ptr<File> open_stream(const std::string &path) {
    const HANDLE handle =
        CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
}

} // namespace platform::win32
