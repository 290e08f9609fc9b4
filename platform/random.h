// The operating system's random source (getrandom on Linux, BCryptGenRandom on Windows): the
// only source of the bytes that make each container's key its own. There is no weaker fallback;
// a source that fails is an error the caller reports.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Fills `buffer` with `count` bytes from the system's random source; false when it fails.
bool random_bytes(uint8_t *buffer, size_t count);

// Tests that must repeat an encryption byte for byte put a source of their own in place;
// nullptr puts the system's back. Returns the source that was in place.
using RandomSource = bool (*)(uint8_t *buffer, size_t count);
RandomSource set_random_source(RandomSource source);

} // namespace platform
