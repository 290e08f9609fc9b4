// Four independent multiply-rotate lanes over 32-byte stripes keep the processor's multipliers
// busy (several GB/s), so a 4 MiB record costs well under a millisecond to check.
#include "container/checksum.h"

namespace {

constexpr uint64_t PRIME1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t PRIME2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t PRIME3 = 0x165667B19E3779F9ull;

constexpr uint64_t rotate_left(uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

uint64_t load64(const uint8_t *p) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i]; // little-endian on every host
    return value;
}

uint64_t mix(uint64_t accumulator, uint64_t lane) {
    return rotate_left(accumulator + lane * PRIME2, 31) * PRIME1;
}

} // namespace

uint64_t checksum64(const uint8_t *data, size_t length, uint64_t seed) {
    uint64_t lanes[4] = {seed + PRIME1 + PRIME2, seed + PRIME2, seed, seed - PRIME1};
    size_t offset = 0;
    for (; offset + 32 <= length; offset += 32)
        for (int i = 0; i < 4; ++i)
            lanes[i] = mix(lanes[i], load64(data + offset + 8 * i));
    uint64_t hash = rotate_left(lanes[0], 1) + rotate_left(lanes[1], 7) +
                    rotate_left(lanes[2], 12) + rotate_left(lanes[3], 18);
    hash ^= static_cast<uint64_t>(length) * PRIME3; // a cut at a stripe boundary still differs
    for (; offset < length; ++offset)
        hash = rotate_left(hash ^ data[offset] * PRIME3, 11) * PRIME1;
    hash ^= hash >> 33;
    hash *= PRIME2;
    return hash ^ (hash >> 29);
}
