// A platform::File over bytes in memory, for tests of code that reads and writes fields.
#pragma once

#include "platform/file_system.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qxv_test {

class MemoryFile final : public platform::File {
public:
    MemoryFile() = default;
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    const std::vector<uint8_t> &bytes() const { return bytes_; }
    uint64_t position() const { return position_; }

    bool read(void *buffer, size_t count, size_t *done) override {
        const size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
        *done = std::min(count, left);
        if (*done > 0) std::memcpy(buffer, bytes_.data() + position_, *done);
        position_ += *done;
        return true;
    }
    bool write(const void *buffer, size_t count, size_t *done) override {
        if (bytes_.size() < position_ + count) bytes_.resize(position_ + count);
        if (count > 0) std::memcpy(bytes_.data() + position_, buffer, count);
        position_ += count;
        *done = count;
        return true;
    }
    bool seek(int64_t offset, platform::Origin origin, uint64_t *position) override {
        const int64_t base = origin == platform::Origin::Begin     ? 0
                             : origin == platform::Origin::Current ? int64_t(position_)
                                                                   : int64_t(bytes_.size());
        if (base + offset < 0) return false;
        position_ = static_cast<uint64_t>(base + offset);
        if (position != nullptr) *position = position_;
        return true;
    }
    bool set_end() override {
        bytes_.resize(position_);
        return true;
    }
    bool size(uint64_t *size) override {
        *size = bytes_.size();
        return true;
    }
    bool get_times(platform::FileTimes *) override { return false; }
    bool set_times(const platform::FileTimes &) override { return false; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
};

} // namespace qxv_test
