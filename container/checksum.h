// A fast 64-bit checksum that tells a record written whole from one cut short or mixed with
// older bytes by a crash. It guards against accidents, not against an adversary: anyone who can
// write the journal can write the file itself.
#pragma once

#include <cstddef>
#include <cstdint>

uint64_t checksum64(const uint8_t *data, size_t length, uint64_t seed = 0);
