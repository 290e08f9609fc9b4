// Readers of the container's trailer fields (tag, definite length, content) at a file's current
// position, with the container format's rules: text (tag 0x14) shorter than 80 bytes, bytes
// (tag 0x04), unsigned 32-bit integers (tag 0x02, big-endian, empty content is 0).
#pragma once

#include "platform/file_system.h"

#include <cstdint>
#include <string>
#include <vector>

bool trailer_read_text(platform::File &file, std::string &text);
bool trailer_read_octets(platform::File &file, std::vector<uint8_t> &octets);
bool trailer_read_uint32(platform::File &file, uint32_t &value);
