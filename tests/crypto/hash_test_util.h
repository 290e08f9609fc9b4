// Helpers shared by the hash tests: digests as hex text through the hash mechanism layer.
#pragma once

#include "crypto/hashmech.h"
#include "hex.h"

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> bytes_of(const std::string &s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// One-shot digest as lower-case hex; "error N" when the layer refuses.
inline std::string hash_hex(uint32_t algorithm, const std::vector<uint8_t> &message,
                            uint32_t padding = 0) {
    uint8_t digest[HASHMECH_MAX_DIGEST];
    int rc = hashmech_hash(algorithm, padding, message.data(), uint32_t(message.size()), digest);
    if (rc != 0) return "error " + std::to_string(rc);
    return to_hex(digest, hashmech_digest_size(algorithm));
}

inline std::string hash_hex(uint32_t algorithm, const std::string &message, uint32_t padding = 0) {
    return hash_hex(algorithm, bytes_of(message), padding);
}

// `count` copies of `piece` hashed through update calls of one piece each.
inline std::string hash_repeated_hex(uint32_t algorithm, const std::string &piece, size_t count) {
    HashContext context;
    if (hashmech_init(algorithm, nullptr, &context) != 0) return "init refused";
    const uint8_t *p = reinterpret_cast<const uint8_t *>(piece.data());
    for (size_t i = 0; i < count; ++i) {
        if (hashmech_update(algorithm, &context, p, uint32_t(piece.size())) != 0) return "update";
    }
    uint8_t digest[HASHMECH_MAX_DIGEST];
    if (hashmech_final(algorithm, &context, 0, nullptr, 0, digest) != 0) return "final";
    return to_hex(digest, hashmech_digest_size(algorithm));
}
