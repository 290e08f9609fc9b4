// Hex helpers for test vectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> hex(const std::string &text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::string to_hex(const uint8_t *p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

inline std::string to_hex(const std::vector<uint8_t> &v) {
    return to_hex(v.data(), v.size());
}
