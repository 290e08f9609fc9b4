#include "container/derive_key.h"

#include "crypto/hashmech.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

constexpr uint32_t SHA1_DIGEST_SIZE = 20;

// Feeds data of any length through the 32-bit update.
void hash_bytes(HashContext *context, const uint8_t *data, size_t length) {
    while (length > 0) {
        const uint32_t piece = length > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(length);
        hashmech_update(HASHMECH_SHA1, context, data, piece);
        data += piece;
        length -= piece;
    }
}

} // namespace

void derive_key(const char *password, const uint8_t *salt, uint32_t salt_length, uint8_t *key,
                uint32_t key_length) {
    HashContext context;
    uint8_t digest[SHA1_DIGEST_SIZE];
    hashmech_init(HASHMECH_SHA1, nullptr, &context);
    hash_bytes(&context, reinterpret_cast<const uint8_t *>(password), std::strlen(password));
    hash_bytes(&context, salt, salt_length);
    hashmech_final(HASHMECH_SHA1, &context, 0, nullptr, 0, digest);
    std::memcpy(key, digest, key_length < SHA1_DIGEST_SIZE ? key_length : SHA1_DIGEST_SIZE);
    wipe_memory(digest, sizeof digest);
    wipe_memory(&context, sizeof context);
}
