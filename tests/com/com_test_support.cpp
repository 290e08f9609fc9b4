#include "com_test_support.h"

#include <objbase.h>
#include <shellapi.h>

#include <vector>

GUID GuidFromText(const wchar_t *text) {
    GUID guid = {};
    CLSIDFromString(text, &guid);
    return guid;
}

std::wstring DllPath() {
    // The build gives a Unix path; Wine sees the root of the Unix file system as Z:.
    std::wstring path = L"Z:";
    for (const char *c = QXV_DLL_UNDER_TEST; *c; ++c)
        path += *c == '/' ? L'\\' : wchar_t(*c);
    return path;
}

DWORD Regsvr32(const std::wstring &switches) {
    std::wstring command = L"regsvr32.exe " + switches + L" \"" + DllPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring &key, const wchar_t *name) {
    wchar_t data[2048];
    DWORD bytes = sizeof data;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring &key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string ToUtf8(const std::wstring &text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"qxv-com-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    std::wstring from = path_ + L'\0'; // double-terminated list
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::wstring ScratchFolder::MakeFile(const std::wstring &name) const {
    const std::wstring path = path_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "plain", 5, &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

std::wstring ScratchFolder::MakeFolder(const std::wstring &name) const {
    const std::wstring path = path_ + L"\\" + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}
