#include "crypto/wipe.h"

void wipe_memory(void *p, std::size_t n) {
    // Writes through a volatile pointer are observable, so they survive dead-store elimination.
    volatile unsigned char *bytes = static_cast<volatile unsigned char *>(p);
    while (n--)
        *bytes++ = 0;
}
