#include "container/tlv.h"

#include <cstring>

namespace {

constexpr int TLV_FAILED = -1;

// Tag and length in front of a field's content; at most 1 + 5 bytes.
size_t encode_header(uint8_t tag, uint32_t length, uint8_t *out) {
    size_t used = 0;
    if (tag != 0) out[used++] = tag;
    if (length < 0x80) {
        out[used++] = static_cast<uint8_t>(length);
        return used;
    }
    uint8_t count = 0;
    for (uint32_t rest = length; rest != 0; rest >>= 8)
        ++count;
    out[used++] = static_cast<uint8_t>(0x80 + count);
    for (int shift = (count - 1) * 8; shift >= 0; shift -= 8)
        out[used++] = static_cast<uint8_t>(length >> shift);
    return used;
}

int write_field(platform::File &file, uint8_t tag, const void *content, uint32_t length) {
    uint8_t header[6];
    const size_t header_length = encode_header(tag, length, header);
    if (!platform::write_exact(file, header, header_length)) return TLV_FAILED;
    if (length > 0 && !platform::write_exact(file, content, length)) return TLV_FAILED;
    return 0;
}

int read_header(platform::File &file, uint8_t tag, uint32_t *length) {
    uint8_t found = 0;
    if (!platform::read_exact(file, &found, 1) || found != tag) return TLV_FAILED;
    return tlv_read_length(file, length);
}

// Integer content of up to TLV_INTEGER_CONTENT_MAX bytes whose value fits `width` bytes.
int read_unsigned(platform::File &file, uint32_t width, uint64_t *value) {
    uint32_t length = 0;
    if (read_header(file, TLV_TAG_INTEGER, &length) != 0 || length > TLV_INTEGER_CONTENT_MAX)
        return TLV_FAILED;
    uint8_t content[TLV_INTEGER_CONTENT_MAX];
    if (length > 0 && !platform::read_exact(file, content, length)) return TLV_FAILED;
    uint64_t result = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (i + width < length && content[i] != 0) return TLV_FAILED; // does not fit
        result = (result << 8) | content[i];
    }
    *value = result;
    return 0;
}

} // namespace

int tlv_write_length(platform::File &file, uint32_t length) {
    uint8_t header[5];
    const size_t used = encode_header(0, length, header);
    return platform::write_exact(file, header, used) ? 0 : TLV_FAILED;
}

int tlv_read_length(platform::File &file, uint32_t *length) {
    uint8_t first = 0;
    if (!platform::read_exact(file, &first, 1)) return TLV_FAILED;
    if (first < 0x80) {
        *length = first;
        return 0;
    }
    if (first > 0x84) {
        *length = TLV_LENGTH_UNREADABLE;
        return 0;
    }
    const size_t count = first - 0x80u;
    uint8_t bytes[4] = {};
    if (count > 0 && !platform::read_exact(file, bytes, count)) return TLV_FAILED;
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    *length = value;
    return 0;
}

int tlv_write_string(platform::File &file, const char *text) {
    return write_field(file, TLV_TAG_TEXT, text, static_cast<uint32_t>(std::strlen(text)));
}

int tlv_read_string(platform::File &file, char *buffer) {
    uint32_t length = 0;
    if (read_header(file, TLV_TAG_TEXT, &length) != 0 || length >= TLV_TEXT_BUFFER_SIZE)
        return TLV_FAILED;
    if (length > 0 && !platform::read_exact(file, buffer, length)) return TLV_FAILED;
    buffer[length] = '\0';
    return 0;
}

int tlv_write_octets(platform::File &file, const uint8_t *bytes, uint32_t length) {
    return write_field(file, TLV_TAG_OCTETS, bytes, length);
}

int tlv_read_octets(platform::File &file, uint8_t *buffer, uint32_t capacity, uint32_t *length) {
    uint32_t found = 0;
    if (read_header(file, TLV_TAG_OCTETS, &found) != 0 || found > capacity ||
        found > TLV_OCTETS_MAX)
        return TLV_FAILED;
    if (found > 0 && !platform::read_exact(file, buffer, found)) return TLV_FAILED;
    *length = found;
    return 0;
}

int tlv_write_uint32(platform::File &file, uint32_t value) {
    return tlv_write_uint64(file, value);
}

int tlv_read_uint32(platform::File &file, uint32_t *value) {
    uint64_t wide = 0;
    if (read_unsigned(file, 4, &wide) != 0) return TLV_FAILED;
    *value = static_cast<uint32_t>(wide);
    return 0;
}

int tlv_write_uint64(platform::File &file, uint64_t value) {
    uint8_t content[8];
    uint32_t length = 0;
    for (int shift = 56; shift >= 0; shift -= 8) {
        const auto byte = static_cast<uint8_t>(value >> shift);
        if (length > 0 || byte != 0) content[length++] = byte;
    }
    return write_field(file, TLV_TAG_INTEGER, content, length);
}

int tlv_read_uint64(platform::File &file, uint64_t *value) {
    return read_unsigned(file, 8, value);
}
