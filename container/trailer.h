// The container's trailer, written and read in this one place (layout in container/container.h):
// fields 1 to 8 right after the ciphertext region, then the end marker (field 9) and C, the
// length of the ciphertext region, as the last 12 bytes of the file.
//
// A bare container is read at a known offset: C from its last 4 bytes, the fields at C. A
// container at the end of another file (a self-decrypting executable) is found backwards: the
// fields begin within the last CONTAINER_TRAILER_MAX bytes, and every place there where field 1
// could begin is tried, since ciphertext bytes may look like one. Either way the trailer is
// checked by one rule for every reader: field 1 "QXV", a cipher the table knows by its exact
// name, fields well formed within their bounds and ending where the end marker "QXVEOF" begins,
// and C the length that S gives (field 10 holds it modulo 2^32; see container/container.h). A
// trailer that breaks any of these is no trailer at all.
#pragma once

#include "container/cipher_choice.h"
#include "container/tlv.h"
#include "platform/file_system.h"

#include <cstdint>

struct ContainerTrailer {
    const CipherChoice *cipher = nullptr;
    char name[TLV_TEXT_BUFFER_SIZE] = {}; // field 2 as stored
    platform::FileTimes times;            // fields 3 to 6; no access time
    uint8_t salt[TLV_OCTETS_MAX] = {};    // field 7
    uint32_t salt_length = 0;
    uint64_t plain_size = 0;        // S, field 8
    uint64_t ciphertext_length = 0; // C, whose low 32 bits are field 10
    uint64_t start = 0;             // where the ciphertext region begins in the file
};

// Why a trailer was refused, in the order the reader meets them.
enum class TrailerError {
    None,
    EndUnreadable,  // the file is too short for the end fields, or field 9 is no text field
    EndMarker,      // field 9 is not "QXVEOF", or C is cut off
    OffsetBeyond,   // C is not below the file size
    NotFound,       // the search found no place where field 1 begins
    Magic,          // field 1 is missing or not "QXV"
    Algorithm,      // field 2 is missing
    UnknownCipher,  // field 2 names no cipher of the table
    Times,          // fields 3 to 6
    Salt,           // field 7
    PlainSize,      // field 8
    FieldsEnd,      // fields 1 to 8 do not end where field 9 begins
    LengthMismatch, // C is not floor(S / B) * B + K + B, or reaches before the file's start
};

// Fields 1 to 10 for a container of `plain_size` bytes encrypted with `cipher`.
bool trailer_write(platform::File &file, const CipherChoice &cipher,
                   const platform::FileTimes &times, const uint8_t *salt, uint32_t salt_length,
                   uint64_t plain_size);

// Longest trailer of a container of `plain_size` bytes: CONTAINER_TRAILER_MAX_32 below 4 GiB.
uint32_t trailer_max_length(uint64_t plain_size);
// Where a bare container of `file_size` bytes whose field 10 holds `stored_c` has its trailer:
// the one offset below the file size congruent to `stored_c` modulo 2^32 that leaves less than
// 2^32 bytes after it; `file_size` when there is none.
uint64_t trailer_offset(uint64_t file_size, uint32_t stored_c);

// The trailer of a bare container of `file_size` bytes (its ciphertext region starts at 0).
TrailerError trailer_read(platform::File &file, uint64_t file_size, ContainerTrailer *trailer);

// The trailer of the container at the end of `file`, which may be preceded by anything; the
// error reported is that of the first candidate tried, or NotFound.
TrailerError trailer_find(platform::File &file, ContainerTrailer *trailer);
