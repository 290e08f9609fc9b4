#include "ui/terminal_text.h"

#include <cstdint>

namespace ui {

size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint32_t low = 0, high = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = 0x80;
        high = 0x7FF;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = 0x800;
        high = 0xFFFF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = 0x10000;
        high = 0x10FFFF;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    uint32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(i) & 0x3F);
    }
    if (value < low || value > high || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

namespace {

bool IsC1Control(std::string_view sequence) {
    return sequence.size() == 2 && static_cast<uint8_t>(sequence[0]) == 0xC2 &&
           static_cast<uint8_t>(sequence[1]) <= 0x9F;
}

void AppendHex(std::string &out, uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

} // namespace

std::string EscapeForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<uint8_t>(text[0]);
        size_t taken = 1;
        if (lead >= 0x20 && lead < 0x7F) {
            out += text[0];
        } else if (lead >= 0x80 && (taken = Utf8SequenceLength(text)) != 0 &&
                   !IsC1Control(text.substr(0, taken))) {
            out.append(text.substr(0, taken));
        } else {
            taken = 1;
            AppendHex(out, lead);
        }
        text.remove_prefix(taken);
    }
    return out;
}

} // namespace ui
