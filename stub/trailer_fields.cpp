#include "stub/trailer_fields.h"

namespace {

// Longer content cannot lie within a trailer, which fits in the file's last 80 bytes.
constexpr uint32_t FIELD_CONTENT_MAX = 80;
constexpr uint32_t TEXT_LENGTH_LIMIT = 80;

// Tag and length of the next field; false at the end of the file or on another tag. The long
// length forms (0x81 to 0x84 followed by that many big-endian bytes) are read too.
bool read_header(platform::File &file, uint8_t tag, uint32_t &length) {
    uint8_t head[2];
    if (!platform::read_exact(file, head, 2) || head[0] != tag) return false;
    if (head[1] < 0x80) {
        length = head[1];
        return true;
    }
    uint32_t count = head[1] - 0x80u;
    if (count > 4) return false;
    uint8_t bytes[4];
    if (!platform::read_exact(file, bytes, count)) return false;
    length = 0;
    for (uint32_t i = 0; i < count; ++i)
        length = length << 8 | bytes[i];
    return true;
}

bool read_content(platform::File &file, uint8_t tag, uint32_t limit, std::vector<uint8_t> &out) {
    uint32_t length = 0;
    if (!read_header(file, tag, length) || length >= limit) return false;
    out.resize(length);
    return platform::read_exact(file, out.data(), length);
}

} // namespace

bool trailer_read_text(platform::File &file, std::string &text) {
    std::vector<uint8_t> content;
    if (!read_content(file, 0x14, TEXT_LENGTH_LIMIT, content)) return false;
    text.assign(content.begin(), content.end());
    return true;
}

bool trailer_read_octets(platform::File &file, std::vector<uint8_t> &octets) {
    return read_content(file, 0x04, FIELD_CONTENT_MAX, octets);
}

bool trailer_read_uint32(platform::File &file, uint32_t &value) {
    std::vector<uint8_t> content;
    if (!read_content(file, 0x02, FIELD_CONTENT_MAX, content)) return false;
    value = 0;
    for (uint8_t byte : content)
        value = value << 8 | byte;
    return true;
}
