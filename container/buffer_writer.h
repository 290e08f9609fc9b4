// A write-only file over a caller's buffer, so the field writers can lay out a trailer in
// memory. Writing past the end fails; nothing else is supported.
#pragma once

#include "platform/file_system.h"

#include <cstring>

class BufferWriter final : public platform::File {
public:
    BufferWriter(uint8_t *buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    size_t used() const { return used_; }

    bool write(const void *data, size_t count, size_t *done) override {
        *done = 0;
        if (count > capacity_ - used_) return false;
        std::memcpy(buffer_ + used_, data, count);
        used_ += count;
        *done = count;
        return true;
    }
    bool read(void *, size_t, size_t *done) override {
        *done = 0;
        return false;
    }
    bool seek(int64_t, platform::Origin, uint64_t *) override { return false; }
    bool set_end() override { return false; }
    bool size(uint64_t *size) override {
        *size = used_;
        return true;
    }
    bool get_times(platform::FileTimes *) override { return false; }
    bool set_times(const platform::FileTimes &) override { return false; }

private:
    uint8_t *buffer_;
    size_t capacity_;
    size_t used_ = 0;
};
