// The settings key as a file: $XDG_CONFIG_HOME/quillomar/settings (~/.config when the
// variable is unset), one value per line in the registry's export notation:
//   "MakeEXE"=dword:00000001
//   "HashKey"=hex:0a,1b,...
// Every write replaces the whole file atomically (temporary file, fsync, rename), so a
// crash leaves either the old or the new settings. Folder 0700, file 0600.
#include "platform/linux/settings_file.h"
#include "platform/settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Every operation reads the file anew (and every write rewrites it whole), so two keys
// open at the same time, as in a dialog nested in another, never undo each other's writes.
class FileSettingsKey final : public SettingsKey {
public:
    explicit FileSettingsKey(std::string folder) {
        file_ = folder.empty() ? std::string() : folder + "/settings";
        std::string text;
        if (!file_.empty() && !settings_file_read(file_, text))
            settings_file_write_atomic(file_, settings_file_format({})); // the key now exists
    }

    bool ValueExists(const char *name) override { return Load().count(name) != 0; }

    SettingsResult ReadBool(const char *name, bool &value) override {
        SettingsMap values = Load();
        auto it = values.find(name);
        if (it == values.end()) return {};
        if (it->second.type != SettingsType::Dword || it->second.data.size() != 4)
            return {settings_type_error(name)};
        const auto &d = it->second.data;
        value = (d[0] | d[1] | d[2] | d[3]) != 0;
        return {};
    }

    void WriteBool(const char *name, bool value) override {
        Store(name, SettingsValue{SettingsType::Dword, {uint8_t(value ? 1 : 0), 0, 0, 0}, {}});
    }

    SettingsResult ReadBinary(const char *name, uint8_t *buffer, size_t size,
                              size_t &read) override {
        read = 0;
        SettingsMap values = Load();
        auto it = values.find(name);
        if (it == values.end()) return {};
        const SettingsValue &v = it->second;
        if ((v.type != SettingsType::Binary && v.type != SettingsType::None) ||
            v.data.size() > size)
            return {settings_type_error(name)};
        std::memcpy(buffer, v.data.data(), v.data.size());
        read = v.data.size();
        return {};
    }

    void WriteBinary(const char *name, const uint8_t *data, size_t size) override {
        Store(name, SettingsValue{SettingsType::Binary, {data, data + size}, {}});
    }

private:
    SettingsMap Load() const {
        std::string text;
        if (file_.empty() || !settings_file_read(file_, text)) return {};
        return settings_file_parse(text);
    }

    void Store(const char *name, SettingsValue value) {
        if (file_.empty()) return;
        SettingsMap values = Load();
        const auto stored = values.find(name);
        // The same value again (every run stores the options it used): no rewrite, no flush.
        if (stored != values.end() && stored->second.type == value.type &&
            stored->second.data == value.data)
            return;
        values[name] = std::move(value);
        settings_file_write_atomic(file_, settings_file_format(values));
    }

    std::string file_;
};

bool make_private_folder(const std::string &path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    struct stat st;
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder of the settings file, created on the way; empty when it cannot be made.
std::string settings_folder() {
    std::string base;
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        base = std::string(home) + "/.config";
    }
    if (!make_private_folder(base)) return {};
    std::string folder = base + "/quillomar";
    if (!make_private_folder(folder)) return {};
    return folder;
}

} // namespace

std::unique_ptr<SettingsKey> SettingsKey::Open() {
    return std::make_unique<FileSettingsKey>(settings_folder());
}

} // namespace platform
