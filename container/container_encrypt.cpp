// Encryption in place: each chunk is read through one handle and its ciphertext written over it
// through a second, then the key check block, the final block and the trailer follow. The
// file is first grown to a size that the container cannot exceed, so a full disk shows before
// any byte is changed. Should a read or write fail later, or the file change size under us, the
// file is put back as it was: what is already ciphertext is decrypted again, the plain bytes in
// flight are written back from memory, and the old size and times are restored.
#include "container/cipher_choice.h"
#include "container/crypt_session.h"
#include "container/derive_key.h"
#include "container/tlv.h"
#include "crypto/wipe.h"

#include <algorithm>

namespace {

using platform::Origin;

// How far the overwrite has come: [0, ciphertext_end) holds ciphertext; the plain bytes of
// [pending_offset, pending_offset + pending_length) are in session.in.
struct Overwrite {
    uint64_t ciphertext_end = 0;
    uint64_t pending_offset = 0;
    size_t pending_length = 0;
};

void put_back(CryptSession &s, const CipherChoice &cipher, const Overwrite &done,
              uint64_t plain_size, const platform::FileTimes &times) {
    ConvContext context;
    if (done.ciphertext_end > 0 && convmech_init(cipher.algorithm, CONVMECH_CBC_DECRYPT, &context,
                                                 s.key, CONTAINER_ZERO_IV) == 0) {
        for (uint64_t offset = 0; offset < done.ciphertext_end;) {
            const auto length = static_cast<uint32_t>(
                std::min<uint64_t>(CONTAINER_CHUNK_SIZE, done.ciphertext_end - offset));
            if (!s.source->seek(static_cast<int64_t>(offset), Origin::Begin) ||
                !platform::read_exact(*s.source, s.out, length) ||
                convmech_update(cipher.algorithm, CONVMECH_CBC_DECRYPT, &context, s.out, s.out,
                                length) != 0 ||
                !s.target->seek(static_cast<int64_t>(offset), Origin::Begin) ||
                !platform::write_exact(*s.target, s.out, length))
                break;
            offset += length;
        }
        wipe_memory(&context, sizeof context);
    }
    if (done.pending_length > 0 &&
        s.target->seek(static_cast<int64_t>(done.pending_offset), Origin::Begin))
        platform::write_exact(*s.target, s.in, done.pending_length);
    if (s.target->seek(static_cast<int64_t>(plain_size), Origin::Begin)) s.target->set_end();
    s.target->set_times(times);
}

bool write_trailer(platform::File &file, const CipherChoice &cipher,
                   const platform::FileTimes &times, const uint8_t *salt, uint32_t plain_size,
                   uint32_t ciphertext_length) {
    const uint8_t offset[4] = {static_cast<uint8_t>(ciphertext_length),
                               static_cast<uint8_t>(ciphertext_length >> 8),
                               static_cast<uint8_t>(ciphertext_length >> 16),
                               static_cast<uint8_t>(ciphertext_length >> 24)};
    return tlv_write_string(file, CONTAINER_MAGIC) == 0 &&
           tlv_write_string(file, cipher.name) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.creation)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.creation >> 32)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.write)) == 0 &&
           tlv_write_uint32(file, static_cast<uint32_t>(times.write >> 32)) == 0 &&
           tlv_write_octets(file, salt, CONTAINER_SALT_LENGTH) == 0 &&
           tlv_write_uint32(file, plain_size) == 0 &&
           tlv_write_string(file, CONTAINER_END_MARKER) == 0 &&
           platform::write_exact(file, offset, sizeof offset);
}

} // namespace

int container_encrypt(CryptSession &s, const char *path, const char *password,
                      const CipherChoice &cipher) {
    auto &fs = platform::file_system();
    s.source = fs.open(path, platform::Access::Read, platform::Share::ReadWrite,
                       platform::Disposition::OpenExisting);
    if (!s.source) return CRYPT_ERR_FILE;
    // Sized once the writing handle is open: from then on no other writer can join.
    s.target = fs.open(path, platform::Access::Write, platform::Share::Read,
                       platform::Disposition::OpenExisting);
    uint64_t plain_size = 0;
    if (!s.target || !s.source->size(&plain_size)) return CRYPT_ERR_FILE;
    if (plain_size >= CONTAINER_SIZE_LIMIT) return CRYPT_ERR_TOO_LARGE;
    platform::FileTimes times;
    if (!s.source->get_times(&times)) return CRYPT_ERR_FILE;

    uint8_t salt[CONTAINER_SALT_LENGTH];
    make_salt(fs.local_time(), salt);
    derive_key(password, salt, CONTAINER_SALT_LENGTH, s.key, cipher.key_length);
    if (convmech_init(cipher.algorithm, CONVMECH_CBC_ENCRYPT, &s.context, s.key,
                      CONTAINER_ZERO_IV) != 0)
        return CRYPT_ERR_FILE;

    const uint64_t reserved =
        CONTAINER_SALT_LENGTH + plain_size / 8 * 8 + cipher.key_length + CONTAINER_EXTEND_MARGIN;
    Overwrite done;
    if (!s.target->seek(static_cast<int64_t>(reserved), Origin::Begin) || !s.target->set_end()) {
        put_back(s, cipher, done, plain_size, times);
        return CRYPT_ERR_DISK_FULL;
    }
    auto fail = [&]() {
        put_back(s, cipher, done, plain_size, times);
        return CRYPT_ERR_FILE;
    };
    if (!s.target->seek(0, Origin::Begin)) return fail();

    const uint64_t chunks = plain_size / CONTAINER_CHUNK_SIZE;
    for (uint64_t i = 0; i < chunks;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(CONTAINER_IO_CHUNKS, chunks - i));
        const uint32_t length = n * CONTAINER_CHUNK_SIZE;
        if (!platform::read_exact(*s.source, s.in, length)) return fail();
        done.pending_offset = i * CONTAINER_CHUNK_SIZE;
        done.pending_length = length;
        convmech_update(cipher.algorithm, CONVMECH_CBC_ENCRYPT, &s.context, s.in, s.out, length);
        if (!platform::write_exact(*s.target, s.out, length)) return fail();
        i += n;
        done.ciphertext_end = i * CONTAINER_CHUNK_SIZE;
        done.pending_length = 0;
    }

    // The tail: whole blocks, then the key check block, then the padded final block. Its plain
    // bytes stay in session.in until the trailer is complete.
    const auto remainder = static_cast<uint32_t>(plain_size % CONTAINER_CHUNK_SIZE);
    const uint32_t whole = remainder / cipher.block_size * cipher.block_size;
    if (remainder > 0 && !platform::read_exact(*s.source, s.in, remainder)) return fail();
    done.pending_offset = chunks * CONTAINER_CHUNK_SIZE;
    done.pending_length = remainder;
    if (whole > 0) {
        convmech_update(cipher.algorithm, CONVMECH_CBC_ENCRYPT, &s.context, s.in, s.out, whole);
        if (!platform::write_exact(*s.target, s.out, whole)) return fail();
    }
    convmech_update(cipher.algorithm, CONVMECH_CBC_ENCRYPT, &s.context, s.key, s.out,
                    cipher.key_length);
    if (!platform::write_exact(*s.target, s.out, cipher.key_length)) return fail();
    uint32_t final_length = remainder - whole;
    if (convmech_final(cipher.algorithm, CONVMECH_CBC_ENCRYPT, &s.context, 1957, s.in + whole,
                       s.out, &final_length) != 0 ||
        final_length != cipher.block_size ||
        !platform::write_exact(*s.target, s.out, cipher.block_size))
        return fail();

    // Nobody may have grown or cut the file meanwhile.
    uint64_t size_now = 0;
    if (!s.target->size(&size_now) || size_now != reserved) return fail();

    const uint64_t region = ciphertext_length(cipher, plain_size);
    if (!write_trailer(*s.target, cipher, times, salt, static_cast<uint32_t>(plain_size),
                       static_cast<uint32_t>(region)) ||
        !s.target->set_end())
        return fail();
    s.target->set_times(times); // the container is whole; a time not kept spoils nothing
    // On disk before the caller renames it or builds an executable from it.
    if (!s.target->flush()) return fail();
    return CRYPT_OK;
}
