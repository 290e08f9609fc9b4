// Encryption in place, the entry: a journal left beside the file means an encryption of it was
// cut short, and it is finished with the journal's cipher and salt; otherwise a new journal is
// made and the encryption starts (container/in_place_encryption.h).
#include "container/in_place_encryption.h"

#include "crypto/wipe.h"
#include "platform/random.h"

#include <cstring>
#include <new>

namespace {

bool allocate_work(CryptSession &s) {
    s.work_size = CRYPT_WORK_SIZE;
    s.work.reset(new (std::nothrow) uint8_t[s.work_size]);
    return s.work != nullptr;
}

} // namespace

int container_encrypt(CryptSession &s, const char *path, const char *password,
                      const CipherChoice &requested) {
    auto &fs = platform::file_system();
    s.source = fs.open(path, platform::Access::Read, platform::Share::ReadWrite,
                       platform::Disposition::OpenExisting);
    if (!s.source) return CRYPT_ERR_FILE;
    // Sized once the writing handle is open: from then on no other writer can join.
    s.target = fs.open(path, platform::Access::Write, platform::Share::Read,
                       platform::Disposition::OpenExisting);
    if (!s.target) return CRYPT_ERR_FILE;

    Journal journal;
    JournalHeader header;
    const std::string journal_name = journal_path(path);
    switch (journal.open(journal_name, &header)) {
    case Journal::Found::Error:
        return CRYPT_ERR_FILE;
    case Journal::Found::Spoilt:
        return CRYPT_ERR_FORMAT;
    case Journal::Found::Whole: {
        // An encryption of this file was cut short: finish it with its own cipher and salt.
        const CipherChoice *cipher = cipher_for_name(header.cipher_name);
        if (cipher == nullptr || header.plain_size > CONTAINER_PLAIN_MAX ||
            header.capacity < record_capacity(*cipher, header.plain_size))
            return CRYPT_ERR_FORMAT;
        derive_key(password, header.salt, CONTAINER_SALT_LENGTH, s.key, cipher->key_length);
        uint8_t check[CONTAINER_KEY_MAX];
        const bool right = journal_key_check(*cipher, s.key, check) &&
                           std::memcmp(check, header.key_check, sizeof check) == 0;
        wipe_memory(check, sizeof check);
        if (!right) return CRYPT_ERR_PASSWORD;
        if (!allocate_work(s)) return CRYPT_ERR_FILE;
        return InPlaceEncryption(s, *cipher, header, journal).resume();
    }
    case Journal::Found::Unwritten:
        if (!journal.remove()) return CRYPT_ERR_FILE;
        break;
    case Journal::Found::None:
        break;
    }

    const CipherChoice &cipher = requested;
    uint64_t plain_size = 0;
    if (!s.source->size(&plain_size)) return CRYPT_ERR_FILE;
    if (plain_size > CONTAINER_PLAIN_MAX) return CRYPT_ERR_FILE; // no file system holds one
    if (!s.source->get_times(&header.times)) return CRYPT_ERR_FILE;
    header.plain_size = plain_size;
    header.capacity = record_capacity(cipher, plain_size);
    std::strncpy(header.cipher_name, cipher.name, sizeof header.cipher_name - 1);
    // A salt of its own makes every container's key its own, even for the same file and
    // password within the same second.
    if (!platform::random_bytes(header.salt, CONTAINER_SALT_LENGTH)) return CRYPT_ERR_RANDOM;
    derive_key(password, header.salt, CONTAINER_SALT_LENGTH, s.key, cipher.key_length);
    if (!journal_key_check(cipher, s.key, header.key_check) || !allocate_work(s))
        return CRYPT_ERR_FILE;
    if (!journal.create(journal_name, header)) return CRYPT_ERR_FILE;
    return InPlaceEncryption(s, cipher, header, journal).run_fresh();
}
