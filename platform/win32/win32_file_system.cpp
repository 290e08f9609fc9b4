#include "platform/win32/utf16.h"
#include "platform/win32/win32_file.h"

#include <vector>

namespace platform {

namespace {

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string &path, Access access, Share share,
                               Disposition disposition) override {
        return win32::open_file(path, access, share, disposition);
    }

    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        return CopyFileW(win32::wide_path(from).c_str(), win32::wide_path(to).c_str(), TRUE) != 0;
    }

    bool remove_file(const std::string &path) override {
        return DeleteFileW(win32::wide_path(path).c_str()) != 0;
    }

    bool rename_no_replace(const std::string &from, const std::string &to) override {
        return MoveFileExW(win32::wide_path(from).c_str(), win32::wide_path(to).c_str(), 0) != 0;
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
            entry.is_link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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
