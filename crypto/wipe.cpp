#include "crypto/wipe.h"

#include <cstring>

void wipe_memory(void *p, std::size_t n) {
    if (n == 0) return;
    std::memset(p, 0, n);
    // The empty statement may read all memory through `p`, so the compiler must keep the zeroes
    // (dead-store elimination would drop a memset before a free); memset itself stays fast.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}
