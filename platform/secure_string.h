// The one type for passwords and other secret text: every buffer it gives back to the heap is
// zeroed first, and its own buffer (the short-string buffer inside the object included) is
// zeroed when it is destroyed or SecureWipe()d.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Zeroes memory in a way the compiler may not drop.
inline void SecureZero(void *data, std::size_t size) {
    volatile unsigned char *p = static_cast<volatile unsigned char *>(data);
    while (size--)
        *p++ = 0;
}

template <class T> struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <class U> WipingAllocator(const WipingAllocator<U> &) noexcept {}
    T *allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T *p, std::size_t n) noexcept {
        SecureZero(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <class U> bool operator==(const WipingAllocator<U> &) const noexcept { return true; }
};

using WipingString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

class SecureString : public WipingString {
public:
    using WipingString::WipingString;
    using WipingString::operator=;
    SecureString() = default;
    SecureString(const SecureString &) = default;
    SecureString(SecureString &&) = default; // the moved-from object still wipes what it keeps
    SecureString &operator=(const SecureString &) = default;
    SecureString &operator=(SecureString &&) = default;
    ~SecureString() { wipe(); }

    // Zeroes the whole buffer (up to its capacity) and empties the string.
    void wipe() noexcept {
        resize(capacity()); // within capacity: no reallocation
        SecureZero(data(), size());
        clear();
    }
};

inline void SecureWipe(SecureString &s) {
    s.wipe();
}

inline std::string_view View(const SecureString &s) {
    return {s.data(), s.size()};
}

} // namespace platform
