#include "platform/linux/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "0a,1b,ff" (possibly empty) into bytes.
bool parse_hex_list(const std::string &s, std::vector<uint8_t> &out) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        if (i + 2 > s.size()) return false;
        int hi = hex_digit(s[i]), lo = hex_digit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(uint8_t(hi << 4 | lo));
        i += 2;
        if (i < s.size() && s[i++] != ',') return false;
        if (i == s.size() && s.back() == ',') return false;
    }
    return true;
}

SettingsValue parse_value(const std::string &v) {
    SettingsValue value;
    value.raw = v;
    const std::string dword = "dword:", hex = "hex:", none = "hex(0):";
    if (v.rfind(dword, 0) == 0) {
        std::string digits = v.substr(dword.size());
        if (digits.size() != 8) return value;
        uint32_t n = 0;
        for (char c : digits) {
            int d = hex_digit(c);
            if (d < 0) return value;
            n = n << 4 | uint32_t(d);
        }
        value.type = SettingsType::Dword;
        value.data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    } else if (v.rfind(hex, 0) == 0 || v.rfind(none, 0) == 0) {
        bool untyped = v.rfind(none, 0) == 0;
        if (parse_hex_list(v.substr(untyped ? none.size() : hex.size()), value.data))
            value.type = untyped ? SettingsType::None : SettingsType::Binary;
    } else if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        value.type = SettingsType::String;
        value.data.assign(v.begin() + 1, v.end() - 1);
    }
    return value;
}

void append_hex_list(std::string &out, const std::vector<uint8_t> &data) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += ',';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
}

constexpr char SETTINGS_HEADING[] = "; Quillomar settings\n";
constexpr size_t TEMP_RANDOM = 6;          // mkstemp's "XXXXXX"
constexpr time_t TEMP_STALE_SECONDS = 600; // a writer never takes this long

// Whether `name` is what mkstemp makes of "<base>.XXXXXX".
bool temp_name_of(const std::string &name, const std::string &base) {
    if (name.size() != base.size() + 1 + TEMP_RANDOM || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.')
        return false;
    for (size_t i = base.size() + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// A temporary file a writer that died left: our name pattern, a regular file of this user,
// owner-only, untouched for long, and holding nothing but (the start of) a settings text.
bool stale_temp(int folder, const char *name) {
    struct stat status {};
    if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != geteuid() || (status.st_mode & 0777) != 0600 ||
        time(nullptr) - status.st_mtime < TEMP_STALE_SECONDS)
        return false;
    const int fd = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    char start[sizeof SETTINGS_HEADING - 1] = {};
    const ssize_t got = ::read(fd, start, sizeof start);
    ::close(fd);
    return got >= 0 &&
           std::string(SETTINGS_HEADING).compare(0, size_t(got), start, size_t(got)) == 0;
}

// Removes the stale temporary files beside `path` (see stale_temp).
void remove_stale_temps(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR *listing = opendir(folder.c_str());
    if (listing == nullptr) return;
    const int fd = dirfd(listing);
    while (const dirent *entry = readdir(listing))
        if (temp_name_of(entry->d_name, base) && stale_temp(fd, entry->d_name))
            unlinkat(fd, entry->d_name, 0);
    closedir(listing);
}

} // namespace

SettingsMap settings_file_parse(const std::string &text) {
    SettingsMap values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == '\r')
            line.pop_back(); // CR LF, or worse
        if (line.size() < 3 || line[0] != '"') continue;
        size_t close = line.find("\"=", 1);
        if (close == std::string::npos) continue;
        values[line.substr(1, close - 1)] = parse_value(line.substr(close + 2));
    }
    return values;
}

std::string settings_file_format(const SettingsMap &values) {
    std::string out = SETTINGS_HEADING;
    for (const auto &[name, v] : values) {
        out += '"' + name + "\"=";
        switch (v.type) {
        case SettingsType::Dword: {
            char buf[16];
            uint32_t n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | uint32_t(v.data[3]) << 24;
            std::snprintf(buf, sizeof buf, "dword:%08x", n);
            out += buf;
            break;
        }
        case SettingsType::Binary:
            out += "hex:";
            append_hex_list(out, v.data);
            break;
        case SettingsType::None:
            out += "hex(0):";
            append_hex_list(out, v.data);
            break;
        case SettingsType::String:
            out += '"' + std::string(v.data.begin(), v.data.end()) + '"';
            break;
        case SettingsType::Unknown:
            out += v.raw;
            break;
        }
        out += '\n';
    }
    return out;
}

bool settings_file_read(const std::string &path, std::string &text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text.clear();
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

bool settings_file_write_atomic(const std::string &path, const std::string &text) {
    remove_stale_temps(path);
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data()); // creates the file with mode 0600
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    std::string folder = path.substr(0, path.find_last_of('/'));
    int dir = ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace platform
