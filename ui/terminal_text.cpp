#include "ui/terminal_text.h"

#include <cstdint>

namespace ui {

namespace {

void AppendEscape(std::string &out, uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

// The length of the valid UTF-8 sequence at `at` (overlong forms, surrogates and values past
// U+10FFFF are not valid), or 0.
size_t SequenceLength(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint32_t value = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(i) & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string EscapeForTerminal(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<uint8_t>(bytes[at]);
        const size_t length = SequenceLength(bytes, at);
        const bool control = length == 1 && (lead < 0x20 || lead == 0x7F);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        const bool c1 = length == 2 && lead == 0xC2 && static_cast<uint8_t>(bytes[at + 1]) < 0xA0;
        if (length == 0 || control) {
            AppendEscape(out, lead);
            ++at;
        } else if (c1) {
            AppendEscape(out, lead);
            AppendEscape(out, static_cast<uint8_t>(bytes[at + 1]));
            at += 2;
        } else {
            out.append(bytes.substr(at, length));
            at += length;
        }
    }
    return out;
}

} // namespace ui
