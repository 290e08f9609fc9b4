#include "platform/win32/registry.h"

#include "platform/win32/utf16.h"

#include <windows.h>

#include <vector>

namespace platform::win32 {

namespace {

HKEY RootKey(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

bool IsMissing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// Closes the key on every path out of the caller.
class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle &) = delete;
    KeyHandle &operator=(const KeyHandle &) = delete;
    ~KeyHandle() {
        if (key_) RegCloseKey(key_);
    }
    HKEY *Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

long registry_write_string(RegistryRoot root, const std::string &key, const std::string &name,
                           const std::string &value) {
    KeyHandle handle;
    LSTATUS status = RegCreateKeyExW(RootKey(root), widen(key).c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, handle.Out(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring data = widen(value);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const std::wstring value_name = widen(name);
    return RegSetValueExW(handle.Get(), name.empty() ? nullptr : value_name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(data.c_str()), bytes);
}

std::optional<std::string> registry_read_string(RegistryRoot root, const std::string &key,
                                                const std::string &name) {
    const std::wstring wide_key = widen(key);
    const std::wstring wide_name = widen(name);
    const wchar_t *value_name = name.empty() ? nullptr : wide_name.c_str();
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(RootKey(root), wide_key.c_str(), value_name, RRF_RT_REG_SZ,
                                  nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return std::nullopt;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = RegGetValueW(RootKey(root), wide_key.c_str(), value_name, RRF_RT_REG_SZ, nullptr,
                          data.data(), &bytes);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return narrow(data.data());
}

long registry_delete_value(RegistryRoot root, const std::string &key, const std::string &name) {
    KeyHandle handle;
    LSTATUS status =
        RegOpenKeyExW(RootKey(root), widen(key).c_str(), 0, KEY_SET_VALUE, handle.Out());
    if (IsMissing(status)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    status = RegDeleteValueW(handle.Get(), widen(name).c_str());
    return IsMissing(status) ? ERROR_SUCCESS : status;
}

long registry_delete_tree(RegistryRoot root, const std::string &key) {
    if (key.empty()) return ERROR_INVALID_PARAMETER; // never the whole root
    const LSTATUS status = RegDeleteTreeW(RootKey(root), widen(key).c_str());
    if (IsMissing(status)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    // RegDeleteTree empties the key; remove the key itself as well.
    const LSTATUS removed = RegDeleteKeyW(RootKey(root), widen(key).c_str());
    return IsMissing(removed) ? ERROR_SUCCESS : removed;
}

bool registry_key_exists(RegistryRoot root, const std::string &key) {
    KeyHandle handle;
    return RegOpenKeyExW(RootKey(root), widen(key).c_str(), 0, KEY_READ, handle.Out()) ==
           ERROR_SUCCESS;
}

} // namespace platform::win32
