#include "container/cipher_choice.h"

#include "crypto/convmech.h"

#include <cstring>
#include <initializer_list>

namespace {

const CipherChoice DES = {CONVMECH_DES, 8, 8, "DES"};
const CipherChoice DES3 = {CONVMECH_DES3_2KEY, 16, 8, "DES3"};
const CipherChoice AES = {CONVMECH_AES128, 16, 16, "AES"};

} // namespace

const CipherChoice *cipher_for_mode(char mode, bool *encrypt) {
    *encrypt = mode == 'e' || mode == 'E' || mode == 'A';
    switch (mode) {
    case 'e':
    case 'd':
        return &DES;
    case 'E':
    case 'D':
        return &DES3;
    case 'A':
    case 'C':
        return &AES;
    default:
        return nullptr;
    }
}

const CipherChoice *cipher_for_name(const char *name) {
    for (const CipherChoice *cipher : {&DES, &DES3, &AES})
        if (std::strcmp(name, cipher->name) == 0) return cipher;
    return nullptr;
}

uint64_t ciphertext_length(const CipherChoice &cipher, uint64_t plain_size) {
    return plain_size / cipher.block_size * cipher.block_size + cipher.key_length +
           cipher.block_size;
}
