#include "crypto/hashmech_table.h"

#include "crypto/hashmech.h"
#include "crypto/md5c.h"
#include "crypto/mdc.h"
#include "crypto/rmd160c.h"
#include "crypto/sha256c.h"
#include "crypto/sha512c.h"
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
const HashMechanism kMdc2 = {16, 8, mdc_init, mdc2_compress, 0, false, true};
const HashMechanism kMdc4 = {16, 8, mdc_init, mdc4_compress, 8, false, true};
const HashMechanism kMd5 = {16, 64, md5c_init, md5c_compress, 8, true, false};
const HashMechanism kSha1 = {20, 64, shac_init, shac_compress, 8, false, false};
const HashMechanism kRmd160 = {20, 64, rmd160c_init, rmd160c_compress, 8, true, false};
const HashMechanism kSha256 = {32, 64, sha256c_init, sha256c_compress, 8, false, false};
const HashMechanism kSha384 = {48, 128, sha384c_init, sha512c_compress, 16, false, false};
const HashMechanism kSha512 = {64, 128, sha512c_init, sha512c_compress, 16, false, false};
} // namespace

const HashMechanism *hashmech_find(uint32_t algorithm) {
    switch (algorithm) {
    case HASHMECH_MDC2:
        return &kMdc2;
    case HASHMECH_MDC4:
        return &kMdc4;
    case HASHMECH_MD5:
        return &kMd5;
    case HASHMECH_SHA1:
        return &kSha1;
    case HASHMECH_RIPEMD160:
        return &kRmd160;
    case HASHMECH_SHA256:
        return &kSha256;
    case HASHMECH_SHA384:
        return &kSha384;
    case HASHMECH_SHA512:
        return &kSha512;
    default:
        return nullptr;
    }
}
