#include "stub/secret_bytes.h"

#include <cstring>

void secure_wipe(void *data, size_t count) {
    volatile uint8_t *bytes = static_cast<volatile uint8_t *>(data);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = 0;
}

void SecretBytes::reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
    if (size_ != 0) std::memcpy(grown.get(), bytes_.get(), size_);
    if (bytes_) secure_wipe(bytes_.get(), capacity_);
    bytes_ = std::move(grown);
    capacity_ = capacity;
}

void SecretBytes::push_back(uint8_t byte) {
    if (size_ == capacity_) reserve(capacity_ < 64 ? 64 : capacity_ * 2);
    bytes_[size_++] = byte;
}

void SecretBytes::assign(const void *data, size_t count) {
    clear();
    reserve(count == 0 ? 1 : count);
    if (count != 0) std::memcpy(bytes_.get(), data, count);
    size_ = count;
}

void SecretBytes::clear() {
    if (bytes_) secure_wipe(bytes_.get(), capacity_);
    bytes_.reset();
    size_ = 0;
    capacity_ = 0;
}
