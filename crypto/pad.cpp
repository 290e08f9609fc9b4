#include "crypto/pad.h"

#include <cstring>

bool pad_known(uint32_t padding) {
    switch (padding) {
    case PAD_ZEROS:
    case PAD_ZEROS_COUNT:
    case PAD_ZEROS_COUNT_2:
    case PAD_ONES_COUNT:
    case PAD_PKCS7:
    case PAD_ISO9797_2:
        return true;
    default:
        return false;
    }
}

int pad_block(uint8_t *block, uint32_t data_length, uint32_t block_size, uint32_t padding) {
    if (data_length >= block_size || !pad_known(padding)) return 0;
    const uint32_t count = block_size - data_length;
    uint8_t *tail = block + data_length;
    switch (padding) {
    case PAD_ZEROS:
        if (data_length == 0) return 0;
        std::memset(tail, 0, count);
        break;
    case PAD_ZEROS_COUNT:
    case PAD_ZEROS_COUNT_2:
        std::memset(tail, 0, count - 1);
        tail[count - 1] = uint8_t(count);
        break;
    case PAD_ONES_COUNT:
        std::memset(tail, 0xFF, count - 1);
        tail[count - 1] = uint8_t(count);
        break;
    case PAD_PKCS7:
        std::memset(tail, int(count), count);
        break;
    case PAD_ISO9797_2:
        tail[0] = 0x80;
        std::memset(tail + 1, 0, count - 1);
        break;
    }
    return 1;
}

int pad_block8(uint8_t *block, uint32_t data_length, uint32_t padding) {
    return pad_block(block, data_length, 8, padding);
}

uint32_t unpad_length(const uint8_t *block, uint32_t block_size, uint32_t padding) {
    uint32_t n = block_size;
    switch (padding) {
    case PAD_ZEROS:
        while (n > 0 && block[n - 1] == 0)
            --n;
        return n;
    case PAD_ZEROS_COUNT:
    case PAD_ZEROS_COUNT_2:
    case PAD_ONES_COUNT:
    case PAD_PKCS7:
        // Unsigned: a count above the block wraps to a length above the block.
        return block_size - block[block_size - 1];
    case PAD_ISO9797_2:
        while (n > 1 && block[n - 1] == 0)
            --n;
        return n - 1;
    default:
        return 0;
    }
}

uint32_t unpad_length8(const uint8_t *block, uint32_t padding) {
    return unpad_length(block, 8, padding);
}
