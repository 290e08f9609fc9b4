// The settings key in the registry: HKEY_CURRENT_USER\Software\QXVMenu, opened in two steps
// ("Software", then "QXVMenu"), each created when missing. Booleans are REG_DWORD, binary
// values REG_BINARY with their exact length.
#include "platform/settings.h"

#include <windows.h>

namespace platform {
namespace {

std::wstring widen(const char *name) {
    // Value names are ASCII.
    std::wstring w;
    for (const char *p = name; *p; ++p)
        w += wchar_t(static_cast<unsigned char>(*p));
    return w;
}

class RegistrySettingsKey final : public SettingsKey {
public:
    RegistrySettingsKey() {
        HKEY software = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software", 0, nullptr, 0, KEY_READ | KEY_WRITE,
                            nullptr, &software, nullptr) != ERROR_SUCCESS)
            return;
        if (RegCreateKeyExW(software, L"QXVMenu", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
        RegCloseKey(software);
    }
    ~RegistrySettingsKey() override {
        if (key_) RegCloseKey(key_);
    }

    bool ValueExists(const char *name) override {
        return key_ && RegQueryValueExW(key_, widen(name).c_str(), nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
    }

    SettingsResult ReadBool(const char *name, bool &value) override {
        if (!key_) return {};
        DWORD type = 0, data = 0, size = sizeof data;
        LONG rc = RegQueryValueExW(key_, widen(name).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE *>(&data), &size);
        if (rc == ERROR_FILE_NOT_FOUND) return {};
        if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
            return {settings_type_error(name)};
        value = data != 0;
        return {};
    }

    void WriteBool(const char *name, bool value) override {
        if (!key_) return;
        DWORD data = value ? 1 : 0;
        RegSetValueExW(key_, widen(name).c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE *>(&data), sizeof data);
    }

    SettingsResult ReadBinary(const char *name, uint8_t *buffer, size_t size,
                              size_t &read) override {
        read = 0;
        if (!key_) return {};
        std::wstring wname = widen(name);
        DWORD type = 0, length = 0;
        LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &length);
        if (rc == ERROR_FILE_NOT_FOUND) return {};
        if (rc != ERROR_SUCCESS || (type != REG_BINARY && type != REG_NONE) || length > size)
            return {settings_type_error(name)};
        rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, buffer, &length);
        if (rc != ERROR_SUCCESS || (type != REG_BINARY && type != REG_NONE))
            return {settings_type_error(name)};
        read = length;
        return {};
    }

    void WriteBinary(const char *name, const uint8_t *data, size_t size) override {
        if (key_) RegSetValueExW(key_, widen(name).c_str(), 0, REG_BINARY, data, DWORD(size));
    }

private:
    HKEY key_ = nullptr;
};

} // namespace

std::unique_ptr<SettingsKey> SettingsKey::Open() {
    return std::make_unique<RegistrySettingsKey>();
}

} // namespace platform
