#include "stub/container_locator.h"

#include "container/tlv.h"
#include "crypto/convmech.h"
#include "stub/stub_messages.h"

#include <cstring>

namespace {

constexpr uint8_t TRAILER_PATTERN[] = {0x14, 0x03, 'Q', 'X', 'V'};
constexpr uint32_t END_FIELDS_SIZE = 12; // the text field "QXVEOF" and the 4-byte offset C

struct Algorithm {
    const char *name;
    uint32_t id;
    uint32_t key_length;
    uint32_t block_size;
};

constexpr Algorithm ALGORITHMS[] = {
    {"DES", CONVMECH_DES, 8, 8},
    {"DES3", CONVMECH_DES3_2KEY, 16, 8},
    {"AES", CONVMECH_AES128, 16, 16},
};

uint32_t little_endian_32(const uint8_t *bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// Reads the trailer that begins at `trailer` and checks it against the file: its fields must end
// where the end marker begins, and C must be the length that S gives.
const char *read_trailer(platform::File &file, uint64_t file_size, uint64_t trailer,
                         uint32_t cipher_length, StubContainer &container) {
    char text[TLV_TEXT_BUFFER_SIZE];
    if (!file.seek(static_cast<int64_t>(trailer), platform::Origin::Begin) ||
        tlv_read_string(file, text) != 0 || std::strcmp(text, "QXV") != 0)
        return STUB_MSG_BAD_HEADER;
    if (tlv_read_string(file, text) != 0) return STUB_MSG_BAD_HEADER;
    const Algorithm *algorithm = nullptr;
    for (const Algorithm &candidate : ALGORITHMS) {
        if (std::strcmp(text, candidate.name) == 0) algorithm = &candidate;
    }
    if (algorithm == nullptr) return STUB_MSG_BAD_HEADER;

    uint32_t ignored_time;
    for (int i = 0; i < 4; ++i) {
        if (tlv_read_uint32(file, &ignored_time) != 0) return STUB_MSG_BAD_FIELDS;
    }
    uint8_t salt[TLV_OCTETS_MAX];
    uint32_t salt_length = 0;
    if (tlv_read_octets(file, salt, sizeof salt, &salt_length) != 0 ||
        tlv_read_uint32(file, &container.plain_size) != 0)
        return STUB_MSG_BAD_FIELDS;
    container.salt.assign(salt, salt + salt_length);
    uint64_t fields_end = 0;
    if (!file.seek(0, platform::Origin::Current, &fields_end) ||
        fields_end != file_size - END_FIELDS_SIZE)
        return STUB_MSG_BAD_FIELDS;

    uint64_t expected =
        uint64_t(container.plain_size) / algorithm->block_size * algorithm->block_size +
        algorithm->key_length + algorithm->block_size;
    if (expected != cipher_length || cipher_length > trailer) return STUB_MSG_BAD_OFFSET;

    container.start = trailer - cipher_length;
    container.cipher_length = cipher_length;
    container.algorithm = algorithm->id;
    container.key_length = algorithm->key_length;
    container.block_size = algorithm->block_size;
    return nullptr;
}

} // namespace

const char *stub_locate_container(platform::File &file, StubContainer &container) {
    uint64_t file_size = 0;
    if (!file.size(&file_size)) return STUB_MSG_NOT_SELFDECRYPTING;

    char marker[TLV_TEXT_BUFFER_SIZE];
    if (file_size < END_FIELDS_SIZE ||
        !file.seek(static_cast<int64_t>(file_size - END_FIELDS_SIZE), platform::Origin::Begin) ||
        tlv_read_string(file, marker) != 0)
        return STUB_MSG_NOT_SELFDECRYPTING;
    if (std::strcmp(marker, "QXVEOF") != 0) return STUB_MSG_NOT_QUILLOMAR;
    uint8_t offset_bytes[4];
    if (!platform::read_exact(file, offset_bytes, sizeof offset_bytes))
        return STUB_MSG_NOT_QUILLOMAR;
    uint32_t cipher_length = little_endian_32(offset_bytes);
    if (cipher_length >= file_size) return STUB_MSG_BAD_OFFSET;

    uint64_t window_size = file_size < CONTAINER_TRAILER_MAX ? file_size : CONTAINER_TRAILER_MAX;
    uint64_t window_start = file_size - window_size;
    uint8_t window[CONTAINER_TRAILER_MAX];
    if (!file.seek(static_cast<int64_t>(window_start), platform::Origin::Begin) ||
        !platform::read_exact(file, window, window_size))
        return STUB_MSG_NO_TRAILER;

    // The window may also hold ciphertext bytes, which can by chance look like the start of a
    // trailer: every place the pattern occurs is tried, the first failure is the one reported.
    const char *first_failure = nullptr;
    for (uint64_t at = 0; at + sizeof TRAILER_PATTERN <= window_size; ++at) {
        if (std::memcmp(window + at, TRAILER_PATTERN, sizeof TRAILER_PATTERN) != 0) continue;
        const char *failure =
            read_trailer(file, file_size, window_start + at, cipher_length, container);
        if (failure == nullptr) return nullptr;
        if (first_failure == nullptr) first_failure = failure;
    }
    return first_failure != nullptr ? first_failure : STUB_MSG_NO_TRAILER;
}
