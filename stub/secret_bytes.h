// A password or key held in memory that is wiped before it is released: growing copies into a
// new buffer and wipes the old one, so no copy of the secret is left behind in freed memory.
// The bytes are always followed by a zero byte, for routines that take zero-terminated text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class SecretBytes {
public:
    SecretBytes() = default;
    ~SecretBytes() { clear(); }
    SecretBytes(const SecretBytes &) = delete;
    SecretBytes &operator=(const SecretBytes &) = delete;

    void push_back(uint8_t byte);
    void assign(const void *data, size_t count);
    // Wipes the bytes and releases the buffer.
    void clear();

    const uint8_t *data() const { return bytes_.get(); }
    const char *c_str() const { return size_ == 0 ? "" : reinterpret_cast<const char *>(data()); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    void reserve(size_t capacity);

    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
