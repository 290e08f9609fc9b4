#include "platform/win32/utf16.h"
#include "platform/win32/win32_file.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace platform {

namespace {

std::wstring full_path(const std::string &path) {
    const std::wstring wide = win32::wide_path(path);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::wstring();
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return std::wstring();
    full.resize(written);
    return full;
}

// A handle with the right to delete or rename the file a name stands for right now, never
// through a symbolic link or junction; nullptr unless it is the file `expected`. The change is
// then made through this handle, so the file checked is the file changed: no race.
class HandleIfSame {
public:
    HandleIfSame(const std::string &path, const FileIdentity &expected) {
        handle_ = CreateFileW(win32::wide_path(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return;
        FILE_ATTRIBUTE_TAG_INFO tag;
        FileIdentity found;
        if (!GetFileInformationByHandleEx(handle_, FileAttributeTagInfo, &tag, sizeof tag) ||
            (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            !win32::identity_of_handle(handle_, &found) || !(found == expected)) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }
    ~HandleIfSame() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HandleIfSame(const HandleIfSame &) = delete;
    HandleIfSame &operator=(const HandleIfSame &) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string &path, Access access, Share share,
                               Disposition disposition) override {
        return win32::open_file(path, access, share, disposition);
    }

    std::unique_ptr<File> open_stream(const std::string &path) override {
        return win32::open_stream(path);
    }

    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        return CopyFileW(win32::wide_path(from).c_str(), win32::wide_path(to).c_str(), TRUE) != 0;
    }

    bool remove_file(const std::string &path) override {
        return DeleteFileW(win32::wide_path(path).c_str()) != 0;
    }

    // Write-through: a move that becomes a copy and delete (another volume) is on disk before
    // the call returns; within one volume the change of name is journaled by the file system.
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        return MoveFileExW(win32::wide_path(from).c_str(), win32::wide_path(to).c_str(),
                           MOVEFILE_WRITE_THROUGH) != 0;
    }

    bool remove_file_if_same(const std::string &path, const FileIdentity &expected) override {
        const HandleIfSame file(path, expected);
        FILE_DISPOSITION_INFO disposition;
        disposition.DeleteFile = TRUE;
        return file.valid() && SetFileInformationByHandle(file.get(), FileDispositionInfo,
                                                          &disposition, sizeof disposition) != 0;
    }

    // Within one folder's volume only, which is all the callers need.
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const FileIdentity &expected) override {
        const HandleIfSame file(from, expected);
        if (!file.valid()) return false;
        const std::wstring target = full_path(to);
        if (target.empty()) return false;
        const size_t name_bytes = target.size() * sizeof(wchar_t);
        std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
        auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(name_bytes);
        std::memcpy(buffer.data() + offsetof(FILE_RENAME_INFO, FileName), target.data(),
                    name_bytes);
        return SetFileInformationByHandle(file.get(), FileRenameInfo, rename,
                                          static_cast<DWORD>(buffer.size())) != 0;
    }

    // Windows has no documented way to flush a folder's entries: a rename or delete is
    // journaled by the file system itself, and file data is flushed with each file's handle.
    bool concurrent() const override { return true; }
    bool sync_folder(const std::string &) override { return true; }

    NameKind name_kind(const std::string &path) override {
        // The attributes of a link or junction itself, never of what it points to.
        const DWORD found = GetFileAttributesW(win32::wide_path(path).c_str());
        if (found == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameKind::Free
                                                                                  : NameKind::Other;
        }
        const DWORD other =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
        return (found & other) != 0 ? NameKind::Other : NameKind::File;
    }

    std::optional<FileAttributes> attributes(const std::string &path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(win32::wide_path(path).c_str(), GetFileExInfoStandard, &data))
            return std::nullopt;
        FileAttributes attributes;
        attributes.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        attributes.is_hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        attributes.is_readonly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        attributes.is_system = (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        attributes.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return attributes;
    }

    bool list_folder(const std::string &path, std::vector<FolderEntry> *entries) override {
        std::string pattern = path;
        if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(win32::wide_path(pattern + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            FolderEntry entry;
            entry.name = win32::narrow(name);
            entry.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // Only links and junctions lead elsewhere; other reparse points (cloud placeholders
            // and the like) are files or folders of their own.
            entry.is_link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                            (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                             found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
            entries->push_back(std::move(entry));
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return true;
    }

    LocalTime local_time() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        LocalTime local;
        local.year = now.wYear;
        local.month = now.wMonth;
        local.day = now.wDay;
        local.weekday = now.wDayOfWeek;
        local.hour = now.wHour;
        local.minute = now.wMinute;
        local.second = now.wSecond;
        return local;
    }

    // The module that holds this code: the shell extension's DLL when linked into it, else the
    // program.
    std::string module_path() override {
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(&native_file_system), &module))
            return std::string();
        std::vector<wchar_t> buffer(MAX_PATH);
        for (;;) {
            const DWORD length =
                GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return std::string();
            if (length < buffer.size()) return win32::narrow(std::wstring(buffer.data(), length));
            buffer.resize(buffer.size() * 2);
        }
    }
};

} // namespace

FileSystem &native_file_system() {
    static Win32FileSystem instance;
    return instance;
}

} // namespace platform
