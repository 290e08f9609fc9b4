#include "tests/fuzz/targets/fuzz_bodies.h"

#include "platform/linux/settings_file.h"

// Any text parses, and what it gives is kept through a write and a second read: the store
// writes back every value it read, unknown notations included.
void fuzz_settings(const uint8_t *data, size_t size) {
    using platform::settings_file_format;
    using platform::settings_file_parse;
    const platform::SettingsMap first =
        settings_file_parse(std::string(reinterpret_cast<const char *>(data), size));
    const std::string text = settings_file_format(first);
    const platform::SettingsMap second = settings_file_parse(text);
    FUZZ_REQUIRE(second.size() == first.size());
    for (const auto &[name, value] : first) {
        auto it = second.find(name);
        FUZZ_REQUIRE(it != second.end());
        FUZZ_REQUIRE(it->second.type == value.type);
        FUZZ_REQUIRE(it->second.data == value.data);
    }
    FUZZ_REQUIRE(settings_file_format(second) == text);
}
