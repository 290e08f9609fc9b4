// Forwards to a file and remembers whether any call failed, so that a reader that gives up can
// tell a broken file (format) from a failing device (I/O).
#pragma once

#include "platform/file_system.h"

class WatchedFile final : public platform::File {
public:
    explicit WatchedFile(platform::File &inner) : inner_(inner) {}
    bool failed() const { return failed_; }

    bool read(void *buffer, size_t count, size_t *done) override {
        return note(inner_.read(buffer, count, done));
    }
    bool write(const void *buffer, size_t count, size_t *done) override {
        return note(inner_.write(buffer, count, done));
    }
    bool seek(int64_t offset, platform::Origin origin, uint64_t *position = nullptr) override {
        return note(inner_.seek(offset, origin, position));
    }
    bool set_end() override { return note(inner_.set_end()); }
    bool size(uint64_t *size) override { return note(inner_.size(size)); }
    bool get_times(platform::FileTimes *times) override { return note(inner_.get_times(times)); }
    bool set_times(const platform::FileTimes &times) override {
        return note(inner_.set_times(times));
    }

private:
    bool note(bool ok) {
        failed_ = failed_ || !ok;
        return ok;
    }
    platform::File &inner_;
    bool failed_ = false;
};
