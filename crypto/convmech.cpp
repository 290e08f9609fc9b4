// The cipher mechanism layer: init, update and final over the block ciphers by algorithm id,
// chaining by mode id, last-block padding by padding id.
//
// Every refusal returns ERR_INVALID_PARAMETER, writes nothing and leaves the context as it
// was. Beyond wrong ids and lengths, a final refuses whatever it could not honour: an unknown
// padding id where it pads or unpads, a tail it would otherwise drop (a tail with padding 0,
// more than one block in full-block CFB), and a decrypting last block that is not exactly one
// block. A successful final wipes the key schedule and closes the context for good.
#include "crypto/convmech.h"

#include "crypto/aes.h"
#include "crypto/aes_ni.h"
#include "crypto/des.h"
#include "crypto/errors.h"
#include "crypto/pad.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

// Recorded as the mode by a successful final: every later call then fails the mode check
// instead of running on a wiped (all-zero) key schedule.
constexpr uint32_t MODE_FINISHED = 0xFFFFFFFFu;
constexpr uint32_t LAST_ALGORITHM = CONVMECH_AES256;
constexpr uint32_t LAST_MODE = CONVMECH_ECB_DECRYPT;

using BlockFunction = void (*)(const uint32_t *schedule, const uint8_t *in, uint8_t *out);
// Many blocks at once: ECB (`chaining` unused) or CBC (`chaining` in and out).
using BulkFunction = void (*)(const uint32_t *schedule, uint8_t *chaining, const uint8_t *in,
                              uint8_t *out, size_t blocks);

struct Algorithm {
    uint32_t block_size;
    uint32_t key_bytes;
    BlockFunction encrypt;
    BlockFunction decrypt;
    // Kernels for CBC and ECB over many blocks; nullptr runs them block by block.
    BulkFunction cbc_encrypt;
    BulkFunction cbc_decrypt;
    BulkFunction ecb_encrypt;
    BulkFunction ecb_decrypt;
};

template <unsigned Rounds> void aes_encrypt(const uint32_t *s, const uint8_t *in, uint8_t *out) {
    aes_encrypt_block(s, Rounds, in, out);
}
template <unsigned Rounds> void aes_decrypt(const uint32_t *s, const uint8_t *in, uint8_t *out) {
    aes_decrypt_block(s, Rounds, in, out);
}

// With the AES instructions the context keeps, besides the table schedule at the start of the
// area, the hardware form of the same schedule at CONVMECH_HW_KEYS_OFFSET (every word
// byte-swapped, see aes_ni.h). The path is chosen once per process.
const uint8_t *hw(const uint32_t *schedule) {
    return reinterpret_cast<const uint8_t *>(schedule) + CONVMECH_HW_KEYS_OFFSET;
}
static_assert(CONVMECH_HW_KEYS_OFFSET >= 4 * AES_MAX_SCHEDULE_WORDS &&
              CONVMECH_HW_KEYS_OFFSET + AES_NI_SCHEDULE_SIZE <= CONVMECH_SCHEDULE_SIZE);

template <unsigned Rounds> void ni_encrypt(const uint32_t *s, const uint8_t *in, uint8_t *out) {
    aes_ni_ecb_encrypt(hw(s), Rounds, in, out, 1);
}
template <unsigned Rounds> void ni_decrypt(const uint32_t *s, const uint8_t *in, uint8_t *out) {
    aes_ni_ecb_decrypt(hw(s), Rounds, in, out, 1);
}
template <unsigned Rounds>
void ni_cbc_encrypt(const uint32_t *s, uint8_t *chaining, const uint8_t *in, uint8_t *out,
                    size_t blocks) {
    aes_ni_cbc_encrypt(hw(s), Rounds, chaining, in, out, blocks);
}
template <unsigned Rounds>
void ni_cbc_decrypt(const uint32_t *s, uint8_t *chaining, const uint8_t *in, uint8_t *out,
                    size_t blocks) {
    aes_ni_cbc_decrypt(hw(s), Rounds, chaining, in, out, blocks);
}
template <unsigned Rounds>
void ni_ecb_encrypt(const uint32_t *s, uint8_t *, const uint8_t *in, uint8_t *out, size_t blocks) {
    aes_ni_ecb_encrypt(hw(s), Rounds, in, out, blocks);
}
template <unsigned Rounds>
void ni_ecb_decrypt(const uint32_t *s, uint8_t *, const uint8_t *in, uint8_t *out, size_t blocks) {
    aes_ni_ecb_decrypt(hw(s), Rounds, in, out, blocks);
}

#define QXV_PORTABLE_AES(rounds, key)                                                              \
    { 16, key, aes_encrypt<rounds>, aes_decrypt<rounds>, nullptr, nullptr, nullptr, nullptr }
#define QXV_HARDWARE_AES(rounds, key)                                                              \
    {                                                                                              \
        16, key, ni_encrypt<rounds>, ni_decrypt<rounds>, ni_cbc_encrypt<rounds>,                   \
            ni_cbc_decrypt<rounds>, ni_ecb_encrypt<rounds>, ni_ecb_decrypt<rounds>                 \
    }

constexpr Algorithm DES_FAMILY[] = {
    {8, 8, des_encrypt_block, des_decrypt_block, nullptr, nullptr, nullptr, nullptr},
    {8, 16, des3_2key_encrypt_block, des3_2key_decrypt_block, nullptr, nullptr, nullptr, nullptr},
    {8, 24, des3_3key_encrypt_block, des3_3key_decrypt_block, nullptr, nullptr, nullptr, nullptr},
};
// Ids 3 to 6: AES-128 (twice), AES-192, AES-256.
constexpr Algorithm PORTABLE_AES[] = {QXV_PORTABLE_AES(10, 16), QXV_PORTABLE_AES(10, 16),
                                      QXV_PORTABLE_AES(12, 24), QXV_PORTABLE_AES(14, 32)};
constexpr Algorithm HARDWARE_AES[] = {QXV_HARDWARE_AES(10, 16), QXV_HARDWARE_AES(10, 16),
                                      QXV_HARDWARE_AES(12, 24), QXV_HARDWARE_AES(14, 32)};
#undef QXV_PORTABLE_AES
#undef QXV_HARDWARE_AES

bool is_aes(uint32_t algorithm) {
    return algorithm >= CONVMECH_AES128;
}

const Algorithm &algorithm_of(uint32_t algorithm) {
    if (!is_aes(algorithm)) return DES_FAMILY[algorithm];
    static const Algorithm *const aes = aes_ni_selected() ? HARDWARE_AES : PORTABLE_AES;
    return aes[algorithm - CONVMECH_AES128];
}

bool is_block_mode(uint32_t mode) {
    return mode != CONVMECH_CFB8_ENCRYPT && mode != CONVMECH_CFB8_DECRYPT && mode != CONVMECH_OFB8;
}

bool is_mac_mode(uint32_t mode) {
    return mode >= CONVMECH_CBC_MAC && mode <= CONVMECH_DES_MAC;
}

// The algorithms a mode accepts.
bool mode_allows(uint32_t mode, uint32_t algorithm) {
    switch (mode) {
    case CONVMECH_X919_MAC:
    case CONVMECH_DES_MAC:
        return algorithm == CONVMECH_DES;
    case CONVMECH_LENGTH_MAC:
        return algorithm == CONVMECH_DES || algorithm == CONVMECH_DES3_2KEY;
    default:
        return true;
    }
}

bool context_matches(const ConvContext *context, uint32_t algorithm, uint32_t mode) {
    return context != nullptr && context->algorithm == algorithm && context->mode == mode &&
           algorithm <= LAST_ALGORITHM && mode <= LAST_MODE;
}

void build_schedule(ConvContext *context, uint32_t algorithm, uint32_t mode, const uint8_t *key) {
    uint32_t *schedule = context->key_schedule.words;
    switch (algorithm) {
    case CONVMECH_DES:
        des_schedule(schedule, key);
        // X9.19 keeps the schedule of K2 (key bytes 8-15) in the second slot.
        if (mode == CONVMECH_X919_MAC) des_schedule(schedule + DES_SCHEDULE_WORDS, key + 8);
        break;
    case CONVMECH_DES3_2KEY:
        des3_2key_schedule(schedule, key);
        break;
    case CONVMECH_DES3_3KEY:
        des3_3key_schedule(schedule, key);
        break;
    default: {
        const bool decrypting = mode == CONVMECH_CBC_DECRYPT || mode == CONVMECH_ECB_DECRYPT;
        const uint32_t key_bytes = algorithm_of(algorithm).key_bytes;
        if (decrypting)
            aes_schedule_decrypt(schedule, key, key_bytes);
        else
            aes_schedule_encrypt(schedule, key, key_bytes);
        if (aes_ni_selected()) {
            uint8_t *round_keys = context->key_schedule.bytes + CONVMECH_HW_KEYS_OFFSET;
            if (decrypting)
                aes_ni_schedule_decrypt(key, key_bytes, round_keys);
            else
                aes_ni_schedule_encrypt(key, key_bytes, round_keys);
        }
        break;
    }
    }
}

void xor_into(uint8_t *dst, const uint8_t *src, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        dst[i] ^= src[i];
}

// Runs `length` bytes (whole blocks for block modes) through the context's mode. The
// arguments have been checked.
void process(ConvContext *context, const uint8_t *in, uint8_t *out, uint32_t length) {
    const Algorithm &alg = algorithm_of(context->algorithm);
    const uint32_t *schedule = context->key_schedule.words;
    const uint32_t b = context->block_size;
    uint8_t *r = context->chaining;
    uint8_t o[16];
    uint8_t saved[16];

    BulkFunction bulk = nullptr;
    switch (context->mode) {
    case CONVMECH_CBC_ENCRYPT:
        bulk = alg.cbc_encrypt;
        break;
    case CONVMECH_CBC_DECRYPT:
        bulk = alg.cbc_decrypt;
        break;
    case CONVMECH_ECB_ENCRYPT:
        bulk = alg.ecb_encrypt;
        break;
    case CONVMECH_ECB_DECRYPT:
        bulk = alg.ecb_decrypt;
        break;
    }
    if (bulk != nullptr) {
        bulk(schedule, r, in, out, length / b);
        return;
    }

    switch (context->mode) {
    case CONVMECH_CBC_ENCRYPT:
        for (uint32_t i = 0; i < length; i += b) {
            const uint8_t *previous = i == 0 ? r : out + i - b;
            for (uint32_t j = 0; j < b; ++j)
                out[i + j] = in[i + j] ^ previous[j];
            alg.encrypt(schedule, out + i, out + i);
        }
        if (length > 0) std::memcpy(r, out + length - b, b);
        break;
    case CONVMECH_CBC_DECRYPT:
        for (uint32_t i = 0; i < length; i += b) {
            std::memcpy(saved, in + i, b);
            alg.decrypt(schedule, in + i, out + i);
            xor_into(out + i, r, b);
            std::memcpy(r, saved, b);
        }
        break;
    case CONVMECH_CFB8_ENCRYPT:
    case CONVMECH_CFB8_DECRYPT:
        for (uint32_t i = 0; i < length; ++i) {
            alg.encrypt(schedule, r, o);
            const uint8_t x = in[i];
            const uint8_t y = uint8_t(x ^ o[0]);
            std::memmove(r, r + 1, b - 1);
            r[b - 1] = context->mode == CONVMECH_CFB8_ENCRYPT ? y : x;
            out[i] = y;
        }
        break;
    case CONVMECH_CFB_ENCRYPT:
        for (uint32_t i = 0; i < length; i += b) {
            alg.encrypt(schedule, r, o);
            for (uint32_t j = 0; j < b; ++j)
                out[i + j] = r[j] = uint8_t(in[i + j] ^ o[j]);
        }
        break;
    case CONVMECH_CFB_DECRYPT:
        for (uint32_t i = 0; i < length; i += b) {
            alg.encrypt(schedule, r, o);
            std::memcpy(r, in + i, b);
            for (uint32_t j = 0; j < b; ++j)
                out[i + j] = uint8_t(r[j] ^ o[j]);
        }
        break;
    case CONVMECH_OFB8:
        for (uint32_t i = 0; i < length; ++i) {
            alg.encrypt(schedule, r, r);
            out[i] = uint8_t(in[i] ^ r[0]);
        }
        break;
    case CONVMECH_CBC_MAC:
    case CONVMECH_X919_MAC:
    case CONVMECH_LENGTH_MAC:
    case CONVMECH_DES_MAC:
        for (uint32_t i = 0; i < length; i += b) {
            xor_into(r, in + i, b);
            alg.encrypt(schedule, r, r);
        }
        if (context->mode == CONVMECH_LENGTH_MAC) context->total += length;
        break;
    case CONVMECH_ECB_ENCRYPT:
        for (uint32_t i = 0; i < length; i += b)
            alg.encrypt(schedule, in + i, out + i);
        break;
    case CONVMECH_ECB_DECRYPT:
        for (uint32_t i = 0; i < length; i += b)
            alg.decrypt(schedule, in + i, out + i);
        break;
    }
    wipe_memory(o, sizeof o);
    wipe_memory(saved, sizeof saved);
}

// The last block of modes 0, 11 (encrypt) and 1, 12 (decrypt).
int final_padded(ConvContext *context, uint32_t padding, const uint8_t *in, uint8_t *out,
                 uint32_t *length) {
    const uint32_t b = context->block_size;
    const uint32_t tail = *length;
    const bool encrypting =
        context->mode == CONVMECH_CBC_ENCRYPT || context->mode == CONVMECH_ECB_ENCRYPT;
    if (padding == PAD_NONE)
        return tail == 0 ? 0 : ERR_INVALID_PARAMETER; // a tail would be silently dropped
    if (!pad_known(padding)) return ERR_INVALID_PARAMETER;
    uint8_t block[16];
    if (encrypting) {
        if (tail >= b || (tail > 0 && in == nullptr) || out == nullptr)
            return ERR_INVALID_PARAMETER;
        if (tail > 0) std::memcpy(block, in, tail);
        if (!pad_block(block, tail, b, padding)) {
            *length = 0; // 1956 with nothing left: no last block
            return 0;
        }
        process(context, block, block, b);
        std::memcpy(out, block, b);
        *length = b;
    } else {
        // The last block must be there whole: exactly one block is read.
        if (tail != b || in == nullptr || out == nullptr) return ERR_INVALID_PARAMETER;
        const Algorithm &alg = algorithm_of(context->algorithm);
        alg.decrypt(context->key_schedule.words, in, block);
        if (context->mode == CONVMECH_CBC_DECRYPT) xor_into(block, context->chaining, b);
        const uint32_t n = unpad_length(block, b, padding);
        if (n > b) {
            wipe_memory(block, sizeof block);
            return ERR_INVALID_PARAMETER;
        }
        if (context->mode == CONVMECH_CBC_DECRYPT) std::memcpy(context->chaining, in, b);
        std::memcpy(out, block, n);
        *length = n;
    }
    wipe_memory(block, sizeof block);
    return 0;
}

// The MAC modes 7 to 10: absorb the tail, finish, write the MAC.
int final_mac(ConvContext *context, uint32_t padding, const uint8_t *in, uint8_t *out,
              uint32_t *length) {
    const uint32_t b = context->block_size;
    const uint32_t tail = *length;
    const uint32_t mode = context->mode;
    if (out == nullptr || tail >= b || (tail > 0 && in == nullptr)) return ERR_INVALID_PARAMETER;
    if (mode == CONVMECH_CBC_MAC) {
        if (padding == PAD_NONE ? tail != 0 : !pad_known(padding))
            return ERR_INVALID_PARAMETER; // an unabsorbed tail would not be covered
    } else if (mode != CONVMECH_LENGTH_MAC && padding != PAD_ZEROS) {
        return ERR_INVALID_PARAMETER;
    }

    uint8_t block[24] = {};
    if (tail > 0) std::memcpy(block, in, tail);
    if (mode == CONVMECH_LENGTH_MAC) {
        // 0x80, zeros to a multiple of 8, then the message length in bits (64-bit big-endian).
        const uint64_t bits = (uint64_t{context->total} + tail) * 8;
        block[tail] = 0x80;
        const uint32_t n = (tail + 1 + 7) / 8 * 8 + 8;
        for (int i = 0; i < 8; ++i)
            block[n - 1 - i] = uint8_t(bits >> (8 * i));
        process(context, block, nullptr, n);
        // One more encryption under the key XOR F0 in every byte.
        uint8_t variant_key[8];
        uint32_t variant[DES_SCHEDULE_WORDS];
        std::memset(variant_key, 0xF0, sizeof variant_key);
        des_schedule(variant, variant_key);
        for (uint32_t slot = 0; slot < 2; ++slot)
            for (uint32_t i = 0; i < DES_SCHEDULE_WORDS; ++i)
                context->key_schedule.words[slot * DES_SCHEDULE_WORDS + i] ^= variant[i];
        algorithm_of(context->algorithm)
            .encrypt(context->key_schedule.words, context->chaining, context->chaining);
    } else {
        if (padding != PAD_NONE && pad_block(block, tail, b, padding))
            process(context, block, nullptr, b);
        if (mode == CONVMECH_X919_MAC) {
            des_decrypt_block(context->key_schedule.words + DES_SCHEDULE_WORDS, context->chaining,
                              context->chaining);
            des_encrypt_block(context->key_schedule.words, context->chaining, context->chaining);
        } else if (mode == CONVMECH_DES_MAC) {
            des_encrypt_block(context->key_schedule.words, context->chaining, context->chaining);
        }
    }
    wipe_memory(block, sizeof block);
    std::memcpy(out, context->chaining, b);
    *length = b;
    return 0;
}

} // namespace

int convmech_init(uint32_t algorithm, uint32_t mode, ConvContext *context, const uint8_t *key,
                  const uint8_t *iv) {
    if (context == nullptr || key == nullptr || algorithm > LAST_ALGORITHM || mode > LAST_MODE ||
        !mode_allows(mode, algorithm))
        return ERR_INVALID_PARAMETER;
    const bool uses_iv = mode <= CONVMECH_OFB8;
    if (uses_iv && iv == nullptr) return ERR_INVALID_PARAMETER;

    const Algorithm &alg = algorithm_of(algorithm);
    wipe_memory(context->key_schedule.bytes, sizeof context->key_schedule.bytes);
    build_schedule(context, algorithm, mode, key);
    context->block_size = alg.block_size;
    context->algorithm = algorithm;
    context->total = 0;
    if (uses_iv)
        std::memcpy(context->chaining, iv, alg.block_size);
    else if (is_mac_mode(mode))
        std::memset(context->chaining, 0, sizeof context->chaining);
    context->mode = mode;
    return 0;
}

int convmech_update(uint32_t algorithm, uint32_t mode, ConvContext *context, const uint8_t *in,
                    uint8_t *out, uint32_t length) {
    if (!context_matches(context, algorithm, mode)) return ERR_INVALID_PARAMETER;
    if (is_block_mode(mode) && length % context->block_size != 0) return ERR_INVALID_PARAMETER;
    if (length > 0 && (in == nullptr || (out == nullptr && !is_mac_mode(mode))))
        return ERR_INVALID_PARAMETER;
    process(context, in, out, length);
    return 0;
}

int convmech_final(uint32_t algorithm, uint32_t mode, ConvContext *context, uint32_t padding,
                   const uint8_t *in, uint8_t *out, uint32_t *length) {
    if (!context_matches(context, algorithm, mode) || length == nullptr)
        return ERR_INVALID_PARAMETER;
    const uint32_t b = context->block_size;
    int status = 0;
    switch (mode) {
    case CONVMECH_CBC_ENCRYPT:
    case CONVMECH_CBC_DECRYPT:
    case CONVMECH_ECB_ENCRYPT:
    case CONVMECH_ECB_DECRYPT:
        status = final_padded(context, padding, in, out, length);
        break;
    case CONVMECH_CFB_ENCRYPT:
    case CONVMECH_CFB_DECRYPT:
        // A short last block: run a whole block, keep the first `length` bytes.
        if (*length > b || (*length > 0 && (in == nullptr || out == nullptr)))
            return ERR_INVALID_PARAMETER;
        if (*length > 0) {
            uint8_t block[16] = {};
            std::memcpy(block, in, *length);
            process(context, block, block, b);
            std::memcpy(out, block, *length);
            wipe_memory(block, sizeof block);
        }
        break;
    case CONVMECH_CFB8_ENCRYPT:
    case CONVMECH_CFB8_DECRYPT:
    case CONVMECH_OFB8:
        // Byte-wise modes: a tail given to final is processed like update would.
        if (*length > 0 && (in == nullptr || out == nullptr)) return ERR_INVALID_PARAMETER;
        process(context, in, out, *length);
        break;
    default:
        status = final_mac(context, padding, in, out, length);
        break;
    }
    if (status != 0) return status;
    wipe_memory(context->key_schedule.bytes, sizeof context->key_schedule.bytes);
    context->mode = MODE_FINISHED;
    return 0;
}
