#include "container/cipher_choice.h"

#include "crypto/convmech.h"

#include <cstring>

namespace {

constexpr CipherChoice CIPHERS[] = {
    {"DES", CONVMECH_DES, 8, 8, CONVMECH_CBC_ENCRYPT, CONVMECH_CBC_DECRYPT, 'e', 'd'},
    {"DES3", CONVMECH_DES3_2KEY, 16, 8, CONVMECH_CBC_ENCRYPT, CONVMECH_CBC_DECRYPT, 'E', 'D'},
    {"AES", CONVMECH_AES128, 16, 16, CONVMECH_CBC_ENCRYPT, CONVMECH_CBC_DECRYPT, 'A', 'C'},
};

constexpr bool rows_fit() {
    for (const CipherChoice &cipher : CIPHERS)
        if (cipher.key_length > CONTAINER_KEY_MAX || cipher.block_size > CONTAINER_BLOCK_MAX)
            return false;
    return true;
}
static_assert(rows_fit(), "a cipher's key or block exceeds the container's buffers");

} // namespace

const CipherChoice *cipher_for_mode(char mode, bool *encrypt) {
    *encrypt = false;
    for (const CipherChoice &cipher : CIPHERS) {
        *encrypt = mode == cipher.encrypt_letter;
        if (*encrypt || mode == cipher.decrypt_letter) return &cipher;
    }
    return nullptr;
}

const CipherChoice *cipher_for_name(const char *name) {
    for (const CipherChoice &cipher : CIPHERS)
        if (std::strcmp(name, cipher.name) == 0) return &cipher;
    return nullptr;
}

uint64_t ciphertext_length(const CipherChoice &cipher, uint64_t plain_size) {
    return plain_size / cipher.block_size * cipher.block_size + cipher.key_length +
           cipher.block_size;
}
