#include "container/trailer.h"

#include "container/container.h"
#include "container/little_endian.h"
#include "container/tail_window.h"

#include <cstring>

namespace {

using platform::Origin;

constexpr uint32_t END_FIELDS_SIZE = 12; // field 9, "QXVEOF" as a text field, and C
constexpr uint32_t OFFSET_SIZE = 4;      // C
// Field 1 as it begins every trailer: the text field "QXV".
constexpr uint8_t FIELD_1[] = {TLV_TAG_TEXT, 3, 'Q', 'X', 'V'};

bool seek_to(platform::File &file, uint64_t offset) {
    return file.seek(static_cast<int64_t>(offset), Origin::Begin);
}

// C modulo 2^32 from the end of the file, after field 9.
TrailerError read_end(platform::File &file, uint64_t file_size, uint32_t *c) {
    char marker[TLV_TEXT_BUFFER_SIZE];
    if (file_size < END_FIELDS_SIZE || !seek_to(file, file_size - END_FIELDS_SIZE) ||
        tlv_read_string(file, marker) != 0)
        return TrailerError::EndUnreadable;
    if (std::strcmp(marker, CONTAINER_END_MARKER) != 0) return TrailerError::EndMarker;
    uint8_t bytes[OFFSET_SIZE];
    if (!platform::read_exact(file, bytes, sizeof bytes)) return TrailerError::EndMarker;
    *c = get_le32(bytes);
    return *c < file_size ? TrailerError::None : TrailerError::OffsetBeyond;
}

// Fields 1 to 8 from `offset` on, checked against the stored C (modulo 2^32) and the file. A
// bare container's region must begin at 0, one behind a stub anywhere before the fields.
TrailerError read_fields(platform::File &file, uint64_t file_size, uint64_t offset, uint32_t c,
                         bool bare, ContainerTrailer *t) {
    char magic[TLV_TEXT_BUFFER_SIZE];
    if (!seek_to(file, offset) || tlv_read_string(file, magic) != 0 ||
        std::strcmp(magic, CONTAINER_MAGIC) != 0)
        return TrailerError::Magic;
    if (tlv_read_string(file, t->name) != 0) return TrailerError::Algorithm;
    t->cipher = cipher_for_name(t->name);
    if (t->cipher == nullptr) return TrailerError::UnknownCipher;

    uint32_t halves[4];
    for (uint32_t &half : halves)
        if (tlv_read_uint32(file, &half) != 0) return TrailerError::Times;
    t->times.creation = uint64_t{halves[1]} << 32 | halves[0];
    t->times.write = uint64_t{halves[3]} << 32 | halves[2];
    if (tlv_read_octets(file, t->salt, sizeof t->salt, &t->salt_length) != 0)
        return TrailerError::Salt;
    if (tlv_read_uint64(file, &t->plain_size) != 0 || t->plain_size > CONTAINER_PLAIN_MAX)
        return TrailerError::PlainSize;
    uint64_t fields_end = 0;
    if (!file.seek(0, Origin::Current, &fields_end) || fields_end != file_size - END_FIELDS_SIZE)
        return TrailerError::FieldsEnd;
    const uint64_t length = ciphertext_length(*t->cipher, t->plain_size);
    if (static_cast<uint32_t>(length) != c || length > offset || (bare && length != offset))
        return TrailerError::LengthMismatch;
    t->ciphertext_length = length;
    t->start = offset - length;
    return TrailerError::None;
}

} // namespace

uint32_t trailer_max_length(uint64_t plain_size) {
    return plain_size >> 32 == 0 ? CONTAINER_TRAILER_MAX_32 : CONTAINER_TRAILER_MAX;
}

uint64_t trailer_offset(uint64_t file_size, uint32_t stored_c) {
    // The distance from C to the end, below 2^32 since the trailer is that short.
    const uint32_t after = static_cast<uint32_t>(file_size - stored_c);
    return after == 0 || after > file_size ? file_size : file_size - after;
}

bool trailer_write(platform::File &file, const CipherChoice &cipher,
                   const platform::FileTimes &times, const uint8_t *salt, uint32_t salt_length,
                   uint64_t plain_size) {
    uint8_t c[OFFSET_SIZE];
    put_le32(c, static_cast<uint32_t>(ciphertext_length(cipher, plain_size))); // modulo 2^32
    return tlv_write_string(file, CONTAINER_MAGIC) == 0 &&
           tlv_write_string(file, cipher.name) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.creation)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.creation >> 32)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.write)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.write >> 32)) == 0 &&
           tlv_write_octets(file, salt, salt_length) == 0 &&
           tlv_write_uint64(file, plain_size) == 0 &&
           tlv_write_string(file, CONTAINER_END_MARKER) == 0 &&
           platform::write_exact(file, c, sizeof c);
}

TrailerError trailer_read(platform::File &file, uint64_t file_size, ContainerTrailer *trailer) {
    TailWindow tail(file, file_size, CONTAINER_TRAILER_MAX);
    uint32_t c = 0;
    const TrailerError end = read_end(tail, file_size, &c);
    if (end != TrailerError::None) return end;
    const uint64_t at = trailer_offset(file_size, c);
    if (at >= file_size) return TrailerError::OffsetBeyond;
    return read_fields(tail, file_size, at, c, true, trailer);
}

TrailerError trailer_find(platform::File &file, ContainerTrailer *trailer) {
    uint64_t file_size = 0;
    if (!file.size(&file_size)) return TrailerError::EndUnreadable;
    uint32_t c = 0;
    const TrailerError end = read_end(file, file_size, &c);
    if (end != TrailerError::None) return end;

    const uint64_t window_size =
        file_size < CONTAINER_TRAILER_MAX ? file_size : CONTAINER_TRAILER_MAX;
    const uint64_t window_start = file_size - window_size;
    uint8_t window[CONTAINER_TRAILER_MAX];
    if (!seek_to(file, window_start) || !platform::read_exact(file, window, window_size))
        return TrailerError::NotFound;
    TrailerError first = TrailerError::NotFound;
    for (uint64_t at = 0; at + sizeof FIELD_1 <= window_size; ++at) {
        if (std::memcmp(window + at, FIELD_1, sizeof FIELD_1) != 0) continue;
        const TrailerError found =
            read_fields(file, file_size, window_start + at, c, false, trailer);
        if (found == TrailerError::None) return found;
        if (first == TrailerError::NotFound) first = found;
    }
    return first;
}
