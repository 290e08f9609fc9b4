// Decryption to a new file. Everything that can refuse the container is checked before the
// target exists: the trailer, the agreement of the stored size with the ciphertext length, and
// the password (the key check block is decrypted on its own, chained to the block in front of
// it). Once the target is created, any failure removes it again.
#include "container/cipher_choice.h"
#include "container/crypt_session.h"
#include "container/derive_key.h"
#include "container/tlv.h"
#include "container/watched_file.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

using platform::Origin;

struct Trailer {
    const CipherChoice *cipher = nullptr;
    platform::FileTimes times;
    uint8_t salt[TLV_OCTETS_MAX];
    uint32_t salt_length = 0;
    uint32_t plain_size = 0;
};

// CRYPT_OK, CRYPT_ERR_FORMAT, or CRYPT_ERR_FILE when the file could not be read.
int read_trailer(platform::File &source, uint64_t file_size, const CipherChoice &fallback,
                 Trailer *trailer) {
    WatchedFile file(source);
    auto refuse = [&]() { return file.failed() ? CRYPT_ERR_FILE : CRYPT_ERR_FORMAT; };
    uint8_t offset_bytes[4];
    if (file_size < 4 || !file.seek(-4, Origin::End) ||
        !platform::read_exact(file, offset_bytes, 4))
        return refuse();
    const uint32_t region = offset_bytes[0] | offset_bytes[1] << 8 | offset_bytes[2] << 16 |
                            static_cast<uint32_t>(offset_bytes[3]) << 24;
    if (region >= file_size) return CRYPT_ERR_FORMAT;

    char text[TLV_TEXT_BUFFER_SIZE];
    if (!file.seek(region, Origin::Begin) || tlv_read_string(file, text) != 0 ||
        std::strcmp(text, CONTAINER_MAGIC) != 0 || tlv_read_string(file, text) != 0)
        return refuse();
    trailer->cipher = cipher_for_name(text);
    if (trailer->cipher == nullptr) trailer->cipher = &fallback;
    uint32_t halves[4];
    for (uint32_t &half : halves)
        if (tlv_read_uint32(file, &half) != 0) return refuse();
    trailer->times.creation = static_cast<uint64_t>(halves[1]) << 32 | halves[0];
    trailer->times.write = static_cast<uint64_t>(halves[3]) << 32 | halves[2];
    if (tlv_read_octets(file, trailer->salt, sizeof trailer->salt, &trailer->salt_length) != 0 ||
        tlv_read_uint32(file, &trailer->plain_size) != 0)
        return refuse();
    if (ciphertext_length(*trailer->cipher, trailer->plain_size) != region) return CRYPT_ERR_FORMAT;
    return CRYPT_OK;
}

// Decrypts the key check block alone; CRYPT_OK when it holds the key.
int check_password(CryptSession &s, const CipherChoice &cipher, uint64_t data_length) {
    uint8_t iv[16] = {};
    uint8_t check[16];
    WatchedFile file(*s.source);
    const uint64_t chain_offset =
        data_length >= cipher.block_size ? data_length - cipher.block_size : 0;
    if (!file.seek(static_cast<int64_t>(chain_offset), Origin::Begin) ||
        (data_length > 0 && !platform::read_exact(file, iv, cipher.block_size)) ||
        !platform::read_exact(file, check, cipher.key_length))
        return file.failed() ? CRYPT_ERR_FILE : CRYPT_ERR_FORMAT;
    ConvContext context;
    int result = CRYPT_ERR_FILE;
    if (convmech_init(cipher.algorithm, CONVMECH_CBC_DECRYPT, &context, s.key, iv) == 0 &&
        convmech_update(cipher.algorithm, CONVMECH_CBC_DECRYPT, &context, check, check,
                        cipher.key_length) == 0) {
        uint8_t difference = 0;
        for (uint32_t i = 0; i < cipher.key_length; ++i)
            difference |= check[i] ^ s.key[i];
        result = difference == 0 ? CRYPT_OK : CRYPT_ERR_PASSWORD;
    }
    wipe_memory(&context, sizeof context);
    wipe_memory(check, sizeof check);
    return result;
}

// Moves `length` bytes (a multiple of the block) from source to target through the cipher.
bool decrypt_piece(CryptSession &s, const CipherChoice &cipher, uint32_t length) {
    return platform::read_exact(*s.source, s.in, length) &&
           convmech_update(cipher.algorithm, CONVMECH_CBC_DECRYPT, &s.context, s.in, s.out,
                           length) == 0 &&
           platform::write_exact(*s.target, s.out, length);
}

int write_plain(CryptSession &s, const Trailer &trailer) {
    const CipherChoice &cipher = *trailer.cipher;
    if (!s.source->seek(0, Origin::Begin) ||
        convmech_init(cipher.algorithm, CONVMECH_CBC_DECRYPT, &s.context, s.key,
                      CONTAINER_ZERO_IV) != 0)
        return CRYPT_ERR_FILE;
    const uint32_t chunks = trailer.plain_size / CONTAINER_CHUNK_SIZE;
    for (uint32_t i = 0; i < chunks; ++i)
        if (!decrypt_piece(s, cipher, CONTAINER_CHUNK_SIZE)) return CRYPT_ERR_FILE;
    const uint32_t remainder = trailer.plain_size % CONTAINER_CHUNK_SIZE;
    const uint32_t whole = remainder / cipher.block_size * cipher.block_size;
    if (whole > 0 && !decrypt_piece(s, cipher, whole)) return CRYPT_ERR_FILE;

    // Key check block again (the chain runs through it), then the padded final block.
    if (!platform::read_exact(*s.source, s.in, cipher.key_length + cipher.block_size))
        return CRYPT_ERR_FILE;
    convmech_update(cipher.algorithm, CONVMECH_CBC_DECRYPT, &s.context, s.in, s.out,
                    cipher.key_length);
    const bool key_matches = std::memcmp(s.out, s.key, cipher.key_length) == 0;
    uint32_t tail = cipher.block_size;
    if (!key_matches ||
        convmech_final(cipher.algorithm, CONVMECH_CBC_DECRYPT, &s.context, 1957,
                       s.in + cipher.key_length, s.out, &tail) != 0 ||
        tail != remainder - whole)
        return CRYPT_ERR_FORMAT; // the container changed since the check, or is damaged
    if (tail > 0 && !platform::write_exact(*s.target, s.out, tail)) return CRYPT_ERR_FILE;
    platform::FileTimes times = trailer.times; // the last-access time stays as it is
    times.access = 0;
    s.target->set_times(times);
    return CRYPT_OK;
}

} // namespace

int container_decrypt(CryptSession &s, const char *source, const char *target, const char *password,
                      const CipherChoice &fallback) {
    auto &fs = platform::file_system();
    s.source = fs.open(source, platform::Access::Read, platform::Share::ReadWrite,
                       platform::Disposition::OpenExisting);
    uint64_t file_size = 0;
    if (!s.source || !s.source->size(&file_size) || fs.exists(target)) return CRYPT_ERR_FILE;

    Trailer trailer;
    int result = read_trailer(*s.source, file_size, fallback, &trailer);
    if (result != CRYPT_OK) return result;
    const CipherChoice &cipher = *trailer.cipher;
    derive_key(password, trailer.salt, trailer.salt_length, s.key, cipher.key_length);
    result = check_password(s, cipher, trailer.plain_size / cipher.block_size * cipher.block_size);
    if (result != CRYPT_OK) return result;

    s.target = fs.open(target, platform::Access::Write, platform::Share::None,
                       platform::Disposition::CreateNew);
    if (!s.target) return CRYPT_ERR_FILE;
    // Known by its handle: a failure removes this file, never one that took its name since.
    const auto target_identity = platform::identity_of(*s.target);
    if (!target_identity) return CRYPT_ERR_FILE;
    // The plain file is readable by whoever could read the container, and no one else.
    uint32_t permissions = 0;
    if (s.source->get_permissions(&permissions)) s.target->set_permissions(permissions);
    result = write_plain(s, trailer);
    // On disk, name included, before anyone deletes the container on the strength of it.
    if (result == CRYPT_OK && (!s.target->flush() || !fs.sync_folder(platform::folder_of(target))))
        result = CRYPT_ERR_FILE;
    if (result != CRYPT_OK) {
        s.target.reset();
        fs.remove_file_if_same(target, *target_identity);
        return result;
    }
    return CRYPT_OK;
}
