// Four independent multiply-rotate lanes over 32-byte stripes keep the processor's multipliers
// busy (several GB/s), so checking a record costs little beside reading it.
#include "container/checksum.h"

#include "container/little_endian.h"

#include <cstring>

namespace {

constexpr uint64_t PRIME1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t PRIME2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t PRIME3 = 0x165667B19E3779F9ull;

constexpr uint64_t rotate_left(uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

} // namespace

void Checksum64::stripe(const uint8_t *data) {
    for (int i = 0; i < 4; ++i)
        lanes_[i] = rotate_left(lanes_[i] + get_le64(data + 8 * i) * PRIME2, 31) * PRIME1;
}

void Checksum64::update(const uint8_t *data, size_t length) {
    total_ += length;
    if (pending_length_ > 0) {
        const size_t take = length < 32 - pending_length_ ? length : 32 - pending_length_;
        std::memcpy(pending_ + pending_length_, data, take);
        pending_length_ += take;
        data += take;
        length -= take;
        if (pending_length_ < 32) return;
        stripe(pending_);
        pending_length_ = 0;
    }
    for (; length >= 32; data += 32, length -= 32)
        stripe(data);
    std::memcpy(pending_, data, length);
    pending_length_ = length;
}

uint64_t Checksum64::value() const {
    uint64_t hash = rotate_left(lanes_[0], 1) + rotate_left(lanes_[1], 7) +
                    rotate_left(lanes_[2], 12) + rotate_left(lanes_[3], 18);
    hash ^= total_ * PRIME3; // a cut at a stripe boundary still differs
    for (size_t i = 0; i < pending_length_; ++i)
        hash = rotate_left(hash ^ pending_[i] * PRIME3, 11) * PRIME1;
    hash ^= hash >> 33;
    hash *= PRIME2;
    return hash ^ (hash >> 29);
}
