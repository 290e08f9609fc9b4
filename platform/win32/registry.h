// Registry access for component registration: write and remove text values and key trees.
// Keys are created as needed; removing what is missing is success. Results are Win32 error
// codes (0 = success), so that callers can turn them into COM results.
#pragma once

#include <optional>
#include <string>

namespace platform::win32 {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

// Writes a text value (REG_SZ); an empty name is the key's default value.
long registry_write_string(RegistryRoot root, const std::string &key, const std::string &name,
                           const std::string &value);

// Reads a text value; nothing when the key or value is missing or is not text.
std::optional<std::string> registry_read_string(RegistryRoot root, const std::string &key,
                                                const std::string &name);

// Deletes one value of an existing key; a missing key or value is success.
long registry_delete_value(RegistryRoot root, const std::string &key, const std::string &name);

// Deletes a key with all its subkeys and values; a missing key is success.
long registry_delete_tree(RegistryRoot root, const std::string &key);

// Tells whether a key exists.
bool registry_key_exists(RegistryRoot root, const std::string &key);

} // namespace platform::win32
