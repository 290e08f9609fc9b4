#include "platform/random.h"

#include <cerrno>
#include <sys/random.h>

namespace platform {

bool system_random_bytes(uint8_t *buffer, size_t count) {
    size_t filled = 0;
    while (filled < count) {
        // Blocks only until the kernel's pool was first seeded, never after.
        const ssize_t got = getrandom(buffer + filled, count - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        filled += static_cast<size_t>(got);
    }
    return true;
}

} // namespace platform
