// Encryption in place, the entry: a journal left beside the file means an encryption of it was
// cut short, and it is finished with the journal's cipher and salt; otherwise a new journal is
// made and the encryption starts (container/in_place_encryption.h). A journal whose encryption
// finished and whose container has since left (only its deletion was cut short) is dropped.
#include "container/encrypt_file.h"
#include "container/in_place_encryption.h"

#include "crypto/wipe.h"
#include "platform/random.h"

#include <cstring>
#include <new>
#include <optional>

namespace {

bool allocate_work(CryptSession &s, const CipherChoice &cipher, uint64_t plain_size) {
    s.work_size = work_size(cipher, plain_size);
    s.work.reset(new (std::nothrow) uint8_t[s.work_size]);
    return s.work != nullptr;
}

// Whether the journal's newest record says its encryption finished with a container of another
// size than the file has now: the container took its name, and this is another file.
bool finished_elsewhere(Journal &journal, platform::File &file) {
    std::optional<JournalRecord> slots[2];
    uint64_t size = 0;
    if (!journal.headers(slots) || !file.size(&size)) return false;
    const JournalRecord *newest = nullptr;
    for (const auto &slot : slots)
        if (slot && (!newest || slot->sequence > newest->sequence)) newest = &*slot;
    return newest && newest->kind == RecordKind::Done && newest->done != size;
}

// The file the engine opened is the one the caller checked and holds, and has no other name.
int check_identity(CryptSession &s, const EncryptOutput *output) {
    uint64_t links = 0;
    if (s.target->link_count(&links) && links > 1) return CRYPT_ERR_LINKED;
    if (output == nullptr) return CRYPT_OK;
    const auto read = platform::identity_of(*s.source), written = platform::identity_of(*s.target);
    return read && written && *read == output->file && *written == output->file ? CRYPT_OK
                                                                                : CRYPT_ERR_FILE;
}

} // namespace

int container_encrypt(CryptSession &s, const char *path, const char *password,
                      const CipherChoice &requested, const EncryptOutput *output) {
    auto &fs = platform::file_system();
    s.source = fs.open(path, platform::Access::Read, platform::Share::ReadWrite,
                       platform::Disposition::OpenExisting);
    if (!s.source) return CRYPT_ERR_FILE;
    // Sized once the writing handle is open: from then on no other writer can join.
    s.target = fs.open(path, platform::Access::Write, platform::Share::Read,
                       platform::Disposition::OpenExisting);
    if (!s.target) return CRYPT_ERR_FILE;
    if (const int checked = check_identity(s, output); checked != CRYPT_OK) return checked;

    Journal journal;
    JournalHeader header;
    const std::string journal_name = journal_path(path);
    Journal::Found found = journal.open(journal_name, &header);
    if (found == Journal::Found::Whole && finished_elsewhere(journal, *s.target)) {
        if (!journal.remove()) return CRYPT_ERR_FILE;
        found = Journal::Found::None;
    }
    switch (found) {
    case Journal::Found::Error:
        return CRYPT_ERR_FILE;
    case Journal::Found::Foreign:
        return CRYPT_ERR_JOURNAL_TAKEN;
    case Journal::Found::Spoilt:
        return CRYPT_ERR_FORMAT;
    case Journal::Found::Whole: {
        // An encryption of this file was cut short: finish it with its own cipher and salt.
        const CipherChoice *cipher = cipher_for_name(header.cipher_name);
        if (cipher == nullptr || header.plain_size > CONTAINER_PLAIN_MAX ||
            header.capacity < record_capacity(*cipher, header.plain_size, JOURNAL_RECORD_MAX))
            return CRYPT_ERR_FORMAT;
        derive_key(password, header.salt, CONTAINER_SALT_LENGTH, s.key, cipher->key_length);
        uint8_t check[CONTAINER_KEY_MAX];
        const bool right = journal_key_check(*cipher, s.key, check) &&
                           std::memcmp(check, header.key_check, sizeof check) == 0;
        wipe_memory(check, sizeof check);
        if (!right) return CRYPT_ERR_PASSWORD;
        if (!allocate_work(s, *cipher, header.plain_size)) return CRYPT_ERR_FILE;
        InPlaceEncryption resumed(s, *cipher, header, journal);
        resumed.rename_to(path, output);
        return resumed.resume();
    }
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
    if (!journal_key_check(cipher, s.key, header.key_check) ||
        !allocate_work(s, cipher, plain_size))
        return CRYPT_ERR_FILE;
    InPlaceEncryption fresh(s, cipher, header, journal);
    fresh.rename_to(path, output);
    return fresh.run_fresh(journal_name);
}
