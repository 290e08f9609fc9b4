#include "platform/random.h"

#include <windows.h>

#include <bcrypt.h>

namespace platform {

bool system_random_bytes(uint8_t *buffer, size_t count) {
    while (count > 0) {
        const ULONG step = count > 0x10000000 ? 0x10000000 : static_cast<ULONG>(count);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, buffer, step, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        buffer += step;
        count -= step;
    }
    return true;
}

} // namespace platform
