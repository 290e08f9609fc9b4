// A string for passwords: every buffer it gives back to the heap is zeroed first, and
// SecureWipe() zeroes the one it holds (including the short-string buffer inside the object).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ui {

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

using SecureString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// Zeroes the whole buffer of `s` (up to its capacity) and empties it.
inline void SecureWipe(SecureString &s) {
    s.resize(s.capacity()); // within capacity: no reallocation
    SecureZero(s.data(), s.size());
    s.clear();
}

inline std::string_view View(const SecureString &s) {
    return {s.data(), s.size()};
}

} // namespace ui
