// The text form of the settings file and its atomic replacement (the settings store outside
// Windows).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

enum class SettingsType { None, Dword, Binary, String, Unknown };

struct SettingsValue {
    SettingsType type = SettingsType::Unknown;
    std::vector<uint8_t> data; // little-endian for Dword; UTF-8 for String
    std::string raw;           // the line after '=' for values of an unknown notation
};

using SettingsMap = std::map<std::string, SettingsValue>;

// Parses the file's text. Lines that name a value in an unknown or malformed notation are
// kept as Unknown (they read as the wrong type and are written back unchanged); comments
// and lines without a quoted name are dropped.
SettingsMap settings_file_parse(const std::string &text);
std::string settings_file_format(const SettingsMap &values);

// Reads the whole file; false when it does not exist or cannot be read.
bool settings_file_read(const std::string &path, std::string &text);
// Writes `text` to a temporary file beside `path` (mode 0600), flushes it to disk and
// renames it over `path`; false on any failure, which leaves `path` as it was. Temporary files
// of a writer that died long ago are removed first.
bool settings_file_write_atomic(const std::string &path, const std::string &text);

} // namespace platform
