#include "crypto/hashmech.h"

#include "crypto/errors.h"
#include "crypto/hash_words.h"
#include "crypto/hashmech_table.h"
#include "crypto/pad.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

// The mechanism recorded in `context`, or nullptr when `algorithm` does not match it or is
// not one that init accepts.
const HashMechanism *mechanism_of(uint32_t algorithm, const HashContext *context) {
    if (context == nullptr || context->algorithm != algorithm) return nullptr;
    return hashmech_find(algorithm);
}

void compress_buffer(const HashMechanism *m, HashContext *context) {
    m->compress(context->state, context->buffer, 1);
    context->block_count++;
    context->buffered = 0;
}

// Appends bytes through the translation table; every block passes through the buffer.
void absorb_translated(const HashMechanism *m, HashContext *context, const uint8_t *data,
                       uint32_t length) {
    while (length > 0) {
        uint32_t room = m->block_size - context->buffered;
        uint32_t take = length < room ? length : room;
        uint8_t *dst = context->buffer + context->buffered;
        for (uint32_t i = 0; i < take; ++i)
            dst[i] = context->table[data[i]];
        context->buffered += take;
        data += take;
        length -= take;
        if (context->buffered == m->block_size) compress_buffer(m, context);
    }
}

// Appends bytes: tops up the buffer, then compresses whole blocks straight from `data`.
void absorb(const HashMechanism *m, HashContext *context, const uint8_t *data, uint32_t length) {
    if (context->translate != 0) {
        absorb_translated(m, context, data, length);
        return;
    }
    const uint32_t block = m->block_size;
    if (context->buffered > 0) {
        uint32_t room = block - context->buffered;
        uint32_t take = length < room ? length : room;
        std::memcpy(context->buffer + context->buffered, data, take);
        context->buffered += take;
        data += take;
        length -= take;
        if (context->buffered < block) return;
        compress_buffer(m, context);
    }
    uint32_t blocks = length / block;
    if (blocks > 0) {
        m->compress(context->state, data, blocks);
        context->block_count += blocks;
        data += size_t(blocks) * block;
        length -= blocks * block;
    }
    if (length > 0) {
        std::memcpy(context->buffer, data, length);
        context->buffered = length;
    }
}

// The Merkle-Damgard padding of the standard hashes: 0x80, zeros, and the message length in
// bits in a field of `length_field` bytes at the end of the last block. The bit count is taken
// from the 64-bit block count, so messages of 2^29 bytes and more hash as the standards say.
void pad_message(const HashMechanism *m, HashContext *context) {
    const uint32_t block = m->block_size;
    const uint32_t field = m->length_field;

    unsigned shift = 3; // log2(block size) + 3: bits per block as a shift
    for (uint32_t b = block; b > 1; b >>= 1)
        ++shift;
    uint64_t low = (context->block_count << shift) | (uint64_t(context->buffered) << 3);
    uint64_t high = context->block_count >> (64 - shift);

    context->buffer[context->buffered++] = 0x80;
    if (context->buffered > block - field) {
        std::memset(context->buffer + context->buffered, 0, block - context->buffered);
        compress_buffer(m, context);
    }
    std::memset(context->buffer + context->buffered, 0, block - context->buffered);
    uint8_t *end = context->buffer + block;
    if (m->little_endian_length) {
        uint8_t *p = end - field;
        store_le32(p, uint32_t(low));
        store_le32(p + 4, uint32_t(low >> 32));
    } else {
        store_be64(end - 8, low);
        if (field == 16) store_be64(end - 16, high);
    }
    compress_buffer(m, context);
}

// Hashes built on a block cipher take the cipher padding ids, 0 (a partial last block is
// filled with zeros) and, where the mechanism has a length field, 1959 (0x80, zeros and the
// bit count).
bool cipher_padding_valid(const HashMechanism *m, uint32_t padding) {
    if (padding == HASHMECH_PAD_LENGTH) return m->length_field != 0;
    return padding == PAD_NONE || pad_known(padding);
}

void pad_cipher_based(const HashMechanism *m, HashContext *context, uint32_t padding) {
    if (padding == HASHMECH_PAD_LENGTH) {
        pad_message(m, context);
        return;
    }
    if (padding == PAD_NONE) {
        // Without a padding rule a partial block is completed with zeros rather than dropped.
        if (context->buffered == 0) return;
        std::memset(context->buffer + context->buffered, 0, m->block_size - context->buffered);
        compress_buffer(m, context);
        return;
    }
    // pad_block declines only for 1956 with no data byte left: then nothing remains to hash.
    if (pad_block(context->buffer, context->buffered, m->block_size, padding) == 1) {
        compress_buffer(m, context);
    }
}

} // namespace

uint32_t hashmech_digest_size(uint32_t algorithm) {
    return algorithm < HASHMECH_ID_COUNT ? HASHMECH_SIZES[algorithm].digest_size : 0;
}

uint32_t hashmech_block_size(uint32_t algorithm) {
    return algorithm < HASHMECH_ID_COUNT ? HASHMECH_SIZES[algorithm].block_size : 0;
}

int hashmech_init(uint32_t algorithm, const uint8_t *table, HashContext *context) {
    const HashMechanism *m = hashmech_find(algorithm);
    if (m == nullptr || context == nullptr) return ERR_INVALID_PARAMETER;
    std::memset(context->state, 0, sizeof context->state);
    m->init(context->state);
    context->block_count = 0;
    std::memset(context->buffer, 0, sizeof context->buffer);
    context->buffered = 0;
    if (table != nullptr) {
        context->translate = 1;
        std::memcpy(context->table, table, sizeof context->table);
    } else {
        context->translate = 0;
        std::memset(context->table, 0, sizeof context->table);
    }
    context->algorithm = algorithm;
    return 0;
}

int hashmech_update(uint32_t algorithm, HashContext *context, const uint8_t *data,
                    uint32_t length) {
    const HashMechanism *m = mechanism_of(algorithm, context);
    if (m == nullptr || (data == nullptr && length > 0)) return ERR_INVALID_PARAMETER;
    if (length > 0) absorb(m, context, data, length);
    return 0;
}

int hashmech_final(uint32_t algorithm, HashContext *context, uint32_t padding, const uint8_t *data,
                   uint32_t length, uint8_t *digest) {
    const HashMechanism *m = mechanism_of(algorithm, context);
    if (m == nullptr || digest == nullptr || (data == nullptr && length > 0)) {
        return ERR_INVALID_PARAMETER;
    }
    if (m->cipher_based) {
        // The padding id is checked before any input is taken, so a refusal changes nothing.
        if (!cipher_padding_valid(m, padding)) return ERR_INVALID_PARAMETER;
        if (length > 0) absorb(m, context, data, length);
        pad_cipher_based(m, context, padding);
    } else {
        // A tail of a block or more is taken whole rather than cut short.
        if (length > 0) absorb(m, context, data, length);
        pad_message(m, context);
    }
    std::memcpy(digest, context->state, m->digest_size);
    wipe_memory(context->buffer, sizeof context->buffer);
    wipe_memory(context->table, sizeof context->table);
    return 0;
}

int hashmech_hash(uint32_t algorithm, uint32_t padding, const uint8_t *data, uint32_t length,
                  uint8_t *digest) {
    HashContext context;
    int rc = hashmech_init(algorithm, nullptr, &context);
    if (rc != 0) return rc;
    if (digest == nullptr || (data == nullptr && length > 0)) {
        rc = ERR_INVALID_PARAMETER;
    } else {
        uint32_t bulk = length - length % hashmech_block_size(algorithm);
        rc = hashmech_update(algorithm, &context, data, bulk);
        if (rc == 0) {
            rc = hashmech_final(algorithm, &context, padding, data + bulk, length - bulk, digest);
        }
    }
    wipe_memory(&context, sizeof context);
    return rc;
}
