// The last bytes of a file read once, then served from memory: a trailer's fields are read a
// byte or a few at a time, a call each otherwise. Reads elsewhere go to the file itself; the
// window only reads. A window that could not be read fails every read, as the file did.
#pragma once

#include "platform/file_system.h"

#include <algorithm>
#include <cstring>

class TailWindow final : public platform::File {
public:
    // The last `length` bytes (at most 128) of `inner`, which is `file_size` bytes long.
    TailWindow(platform::File &inner, uint64_t file_size, uint32_t length)
        : inner_(inner), size_(file_size),
          start_(file_size - std::min<uint64_t>(file_size, std::min(length, BYTES))) {
        loaded_ = inner_.seek(static_cast<int64_t>(start_), platform::Origin::Begin) &&
                  platform::read_exact(inner_, bytes_, static_cast<size_t>(size_ - start_));
    }

    bool read(void *buffer, size_t count, size_t *done) override {
        if (!loaded_) return false;
        if (position_ >= start_) {
            *done =
                static_cast<size_t>(std::min<uint64_t>(count, size_ - std::min(size_, position_)));
            std::memcpy(buffer, bytes_ + (position_ - start_), *done);
            position_ += *done;
            return true;
        }
        if (!inner_.seek(static_cast<int64_t>(position_), platform::Origin::Begin) ||
            !inner_.read(buffer, count, done))
            return false;
        position_ += *done;
        return true;
    }
    bool seek(int64_t offset, platform::Origin origin, uint64_t *position = nullptr) override {
        const int64_t base = origin == platform::Origin::Begin     ? 0
                             : origin == platform::Origin::Current ? static_cast<int64_t>(position_)
                                                                   : static_cast<int64_t>(size_);
        if (offset < -base) return false;
        position_ = static_cast<uint64_t>(base + offset);
        if (position != nullptr) *position = position_;
        return true;
    }
    bool size(uint64_t *size) override {
        *size = size_;
        return true;
    }
    bool get_times(platform::FileTimes *times) override { return inner_.get_times(times); }
    bool write(const void *, size_t, size_t *) override { return false; }
    bool set_end() override { return false; }
    bool set_times(const platform::FileTimes &) override { return false; }

private:
    static constexpr uint32_t BYTES = 128;
    platform::File &inner_;
    const uint64_t size_;
    const uint64_t start_;
    uint64_t position_ = 0;
    bool loaded_ = false;
    uint8_t bytes_[BYTES] = {};
};
