// Gives a test a settings store of its own: on Windows the registry key Software\QXVMenu is
// deleted before and after (the Wine prefix belongs to the build); elsewhere XDG_CONFIG_HOME
// points to a fresh folder. Also raw writers that bypass the store, for values of any type.
#pragma once

#include "tests/support/temp_folder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#endif

namespace qxv_test {

class SettingsSandbox {
public:
    SettingsSandbox() {
#ifdef _WIN32
        clear();
#else
        const char *old = std::getenv("XDG_CONFIG_HOME");
        had_old_ = old != nullptr;
        if (old) old_ = old;
        setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
#endif
    }
    ~SettingsSandbox() {
#ifdef _WIN32
        clear();
#else
        if (had_old_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
#endif
    }
    SettingsSandbox(const SettingsSandbox &) = delete;
    SettingsSandbox &operator=(const SettingsSandbox &) = delete;

#ifdef _WIN32
    static void clear() {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QXVMenu");
    }
    static bool key_exists() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QXVMenu", 0, KEY_READ, &key) != 0)
            return false;
        RegCloseKey(key);
        return true;
    }
    static void set_raw(const char *name, DWORD type, const std::vector<uint8_t> &data) {
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QXVMenu", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr);
        std::wstring wname(name, name + std::char_traits<char>::length(name));
        RegSetValueExW(key, wname.c_str(), 0, type, data.data(), DWORD(data.size()));
        RegCloseKey(key);
    }
    void set_dword(const char *name, uint32_t v) {
        set_raw(name, REG_DWORD, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    void set_binary(const char *name, const std::vector<uint8_t> &data) {
        set_raw(name, REG_BINARY, data);
    }
    void set_untyped(const char *name, const std::vector<uint8_t> &data) {
        set_raw(name, REG_NONE, data);
    }
    void set_string(const char *name, const std::string &text) {
        std::wstring w(text.begin(), text.end());
        std::vector<uint8_t> data(reinterpret_cast<const uint8_t *>(w.c_str()),
                                  reinterpret_cast<const uint8_t *>(w.c_str() + w.size() + 1));
        set_raw(name, REG_SZ, data);
    }
#else
    std::string settings_file() const {
        return folder_.file("quillomar/settings");
    }
    const TempFolder &folder() const {
        return folder_;
    }
    bool key_exists() const {
        return std::filesystem::exists(settings_file());
    }
    // Appends one line in the file's notation, e.g. value_line("AES", "dword:00000005").
    void set_line(const char *name, const std::string &notation) {
        std::filesystem::create_directories(folder_.path() / "quillomar");
        std::ofstream out(settings_file(), std::ios::app);
        out << '"' << name << "\"=" << notation << '\n';
    }
    void set_dword(const char *name, uint32_t v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v);
        set_line(name, buf);
    }
    static std::string hex_list(const std::vector<uint8_t> &data) {
        std::string s;
        char buf[4];
        for (size_t i = 0; i < data.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", data[i]);
            s += buf;
        }
        return s;
    }
    void set_binary(const char *name, const std::vector<uint8_t> &data) {
        set_line(name, "hex:" + hex_list(data));
    }
    void set_untyped(const char *name, const std::vector<uint8_t> &data) {
        set_line(name, "hex(0):" + hex_list(data));
    }
    void set_string(const char *name, const std::string &text) {
        set_line(name, '"' + text + '"');
    }
#endif

private:
#ifndef _WIN32
    TempFolder folder_;
    bool had_old_ = false;
    std::string old_;
#endif
};

} // namespace qxv_test
