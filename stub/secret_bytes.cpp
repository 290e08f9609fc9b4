#include "stub/secret_bytes.h"

#include "crypto/wipe.h"

#include <cstring>

void SecretBytes::reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
    std::memset(grown.get(), 0, capacity);
    if (size_ != 0) std::memcpy(grown.get(), bytes_.get(), size_);
    if (bytes_) wipe_memory(bytes_.get(), capacity_);
    bytes_ = std::move(grown);
    capacity_ = capacity;
}

void SecretBytes::push_back(uint8_t byte) {
    if (size_ + 1 >= capacity_) reserve(capacity_ < 64 ? 64 : capacity_ * 2);
    bytes_[size_++] = byte;
    bytes_[size_] = 0;
}

void SecretBytes::assign(const void *data, size_t count) {
    clear();
    reserve(count + 1);
    if (count != 0) std::memcpy(bytes_.get(), data, count);
    bytes_[count] = 0;
    size_ = count;
}

void SecretBytes::clear() {
    if (bytes_) wipe_memory(bytes_.get(), capacity_);
    bytes_.reset();
    size_ = 0;
    capacity_ = 0;
}
