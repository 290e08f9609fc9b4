// The per-user settings store: one key of named values that the dialogs read and write.
// Windows keeps it in the registry under HKEY_CURRENT_USER\Software\QXVMenu; elsewhere a
// file under the user's configuration folder keeps the same values with the same types.
// The key is opened (and created when missing) for each use and closed when the object
// goes out of scope; nothing is cached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The outcome of a read: an empty `error` means success; otherwise it holds the text to
// show the user, such as "Invalid data type for 'HashKey'".
struct SettingsResult {
    std::string error;
    bool ok() const { return error.empty(); }
};

class SettingsKey {
public:
    // Opens the settings key, creating it when missing. A key that cannot be opened or
    // created behaves as an empty key whose writes are lost (failed writes are not reported).
    static std::unique_ptr<SettingsKey> Open();
    virtual ~SettingsKey() = default;

    virtual bool ValueExists(const char *name) = 0;
    // A boolean is a 32-bit integer value; any non-zero value is true. A value of another
    // type is a read error and leaves `value` unchanged.
    virtual SettingsResult ReadBool(const char *name, bool &value) = 0;
    virtual void WriteBool(const char *name, bool value) = 0;
    // Reads a binary (or untyped) value into `buffer`; `read` gets its length. A value of
    // another type or longer than `size` is a read error.
    virtual SettingsResult ReadBinary(const char *name, uint8_t *buffer, size_t size,
                                      size_t &read) = 0;
    virtual void WriteBinary(const char *name, const uint8_t *data, size_t size) = 0;
};

// The error text of a value of the wrong type.
std::string settings_type_error(const char *name);

} // namespace platform
