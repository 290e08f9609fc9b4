// Decryption to a new file. Everything that can refuse the container is checked before the
// target exists: the trailer, the agreement of the stored size with the ciphertext length, and
// the password (the key check block is decrypted on its own, chained to the block in front of
// it). Once the target is created, any failure removes it again.
#include "container/crypt_session.h"
#include "container/decrypt_stream.h"
#include "container/derive_key.h"
#include "container/trailer.h"
#include "container/watched_file.h"

namespace {

// CRYPT_OK, CRYPT_ERR_FORMAT, or CRYPT_ERR_FILE when the file could not be read. The trailer
// names its own cipher: an unknown name or a malformed trailer is refused, never read as the
// mode letter's cipher.
int read_trailer(platform::File &source, uint64_t file_size, ContainerTrailer *trailer) {
    WatchedFile file(source);
    if (trailer_read(file, file_size, trailer) == TrailerError::None) return CRYPT_OK;
    return file.failed() ? CRYPT_ERR_FILE : CRYPT_ERR_FORMAT;
}

// Decrypts the key check block alone; CRYPT_OK when it holds the key.
int check_password(CryptSession &s, DecryptStream &stream) {
    WatchedFile file(*s.source);
    switch (stream.check_key(file, false)) {
    case StreamResult::Ok:
        return CRYPT_OK;
    case StreamResult::WrongKey:
        return CRYPT_ERR_PASSWORD;
    case StreamResult::ReadFailed:
        return file.failed() ? CRYPT_ERR_FILE : CRYPT_ERR_FORMAT;
    default:
        return CRYPT_ERR_FILE;
    }
}

int write_plain(CryptSession &s, DecryptStream &stream, const ContainerTrailer &trailer) {
    switch (stream.run(*s.source, *s.target, s.progress)) {
    case StreamResult::Ok:
        break;
    case StreamResult::Stopped:
        return CRYPT_STOPPED;
    case StreamResult::WrongKey:
    case StreamResult::BadFinal:
        return CRYPT_ERR_FORMAT; // the container changed since the check, or is damaged
    default:
        return CRYPT_ERR_FILE;
    }
    platform::FileTimes times = trailer.times; // the last-access time stays as it is
    times.access = 0;
    s.target->set_times(times);
    return CRYPT_OK;
}

} // namespace

int container_decrypt(CryptSession &s, const char *source, const char *target,
                      const char *password) {
    auto &fs = platform::file_system();
    s.source = fs.open(source, platform::Access::Read, platform::Share::ReadWrite,
                       platform::Disposition::OpenExisting);
    uint64_t file_size = 0;
    if (!s.source || !s.source->size(&file_size) || fs.exists(target)) return CRYPT_ERR_FILE;

    ContainerTrailer trailer;
    int result = read_trailer(*s.source, file_size, &trailer);
    if (result != CRYPT_OK) return result;
    derive_key(password, trailer.salt, trailer.salt_length, s.key, trailer.cipher->key_length);
    DecryptStream stream(trailer, s.key);
    result = check_password(s, stream);
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
    result = write_plain(s, stream, trailer);
    // On disk before anyone renames it or deletes the container on the strength of it. Its
    // name needs no flush of its own: name changes reach the disk in the order they were made,
    // so no later rename or deletion can be there without it.
    if (result == CRYPT_OK && !s.target->flush()) result = CRYPT_ERR_FILE;
    if (result != CRYPT_OK) {
        s.target.reset();
        fs.remove_file_if_same(target, *target_identity);
        return result;
    }
    return CRYPT_OK;
}
