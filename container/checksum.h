// A fast 64-bit checksum that tells a record written whole from one cut short or mixed with
// older bytes by a crash. It guards against accidents, not against an adversary: anyone who can
// write the journal can write the file itself.
#pragma once

#include <cstddef>
#include <cstdint>

// Fed piece by piece; the value depends only on the bytes, not on how they were split.
class Checksum64 {
public:
    void update(const uint8_t *data, size_t length);
    uint64_t value() const;

private:
    void stripe(const uint8_t *data);

    uint64_t lanes_[4] = {0x9E3779B185EBCA87ull + 0xC2B2AE3D27D4EB4Full, 0xC2B2AE3D27D4EB4Full, 0,
                          0 - 0x9E3779B185EBCA87ull};
    uint8_t pending_[32] = {};
    size_t pending_length_ = 0;
    uint64_t total_ = 0;
};

inline uint64_t checksum64(const uint8_t *data, size_t length) {
    Checksum64 sum;
    sum.update(data, length);
    return sum.value();
}
