#include "crypto/hashmech_table.h"

#include "crypto/hashmech.h"
#include "crypto/shac.h"

const HashSizes HASHMECH_SIZES[HASHMECH_ID_COUNT] = {
    {16, 8},   // 0 MDC-2
    {16, 64},  // 1 refused
    {16, 64},  // 2 MD5
    {20, 64},  // 3 SHA-1
    {16, 64},  // 4 refused
    {16, 8},   // 5 MDC-4
    {32, 8},   // 6 refused: DES-based with two fixed keys, no published definition
    {8, 8},    // 7 refused: DES-based 8-byte result, no published definition
    {20, 64},  // 8 RIPEMD-160
    {32, 64},  // 9 SHA-256
    {48, 128}, // 10 SHA-384
    {64, 128}, // 11 SHA-512
    {16, 16},  // 12 refused
};

namespace {
const HashMechanism kSha1 = {20, 64, shac_init, shac_compress, 8, false, false};
} // namespace

const HashMechanism *hashmech_find(uint32_t algorithm) {
    switch (algorithm) {
    case HASHMECH_SHA1:
        return &kSha1;
    default:
        return nullptr;
    }
}
