// The container's trailer fields: tag, definite length (short form below 128, else 0x80 + n
// and n big-endian bytes) and content, in the manner of ASN.1 BER. Every routine takes an open
// file, works at its current position and returns 0 on success, -1 on failure (a read or write
// that failed or came short, a wrong tag, a length beyond the reader's bound).
#pragma once

#include "platform/file_system.h"

#include <cstdint>

constexpr uint8_t TLV_TAG_INTEGER = 0x02;
constexpr uint8_t TLV_TAG_OCTETS = 0x04;
constexpr uint8_t TLV_TAG_TEXT = 0x14;

constexpr uint32_t TLV_TEXT_BUFFER_SIZE = 80; // text content is at most 79 bytes
constexpr uint32_t TLV_OCTETS_MAX = 255;      // longest byte string the readers take
constexpr uint32_t TLV_INTEGER_CONTENT_MAX = 255;
constexpr uint32_t TLV_LENGTH_UNREADABLE = 256; // first length byte 0x85 or above

int tlv_write_length(platform::File &file, uint32_t length);
// Below 0x80 the byte is the length; 0x80 to 0x84 are followed by 0 to 4 big-endian length
// bytes; 0x85 and above give TLV_LENGTH_UNREADABLE.
int tlv_read_length(platform::File &file, uint32_t *length);

int tlv_write_string(platform::File &file, const char *text);
// `buffer` holds at least TLV_TEXT_BUFFER_SIZE bytes; the text is ended with a zero byte.
int tlv_read_string(platform::File &file, char *buffer);

int tlv_write_octets(platform::File &file, const uint8_t *bytes, uint32_t length);
// Fails when the content is longer than `capacity` (at most TLV_OCTETS_MAX is ever read).
int tlv_read_octets(platform::File &file, uint8_t *buffer, uint32_t capacity, uint32_t *length);

// Content: big-endian, no leading zero bytes (0 has empty content).
int tlv_write_uint32(platform::File &file, uint32_t value);
// Takes content of up to TLV_INTEGER_CONTENT_MAX bytes whose value fits 32 bits: bytes in front
// of the last four must be zero (a sign byte, for one).
int tlv_read_uint32(platform::File &file, uint32_t *value);
// The same for values of up to 64 bits (content of 0 to 8 significant bytes): the plain size.
int tlv_write_uint64(platform::File &file, uint64_t value);
int tlv_read_uint64(platform::File &file, uint64_t *value);
