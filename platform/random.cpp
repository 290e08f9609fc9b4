#include "platform/random.h"

namespace platform {

bool system_random_bytes(uint8_t *buffer, size_t count); // per platform

namespace {

RandomSource replaced = nullptr;

} // namespace

bool random_bytes(uint8_t *buffer, size_t count) {
    return replaced != nullptr ? replaced(buffer, count) : system_random_bytes(buffer, count);
}

RandomSource set_random_source(RandomSource source) {
    const RandomSource previous = replaced;
    replaced = source;
    return previous;
}

} // namespace platform
