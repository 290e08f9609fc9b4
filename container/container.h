// The encrypted container: a plain file's blocks encrypted in place with AES-128 (or DES,
// two-key Triple-DES) in CBC mode, a key check block, a padded final block, and a trailer of
// tag-length-value fields ending in "QXVEOF" and the 4-byte little-endian length C of the
// ciphertext region:
//
//   [floor(S/B)*B data][K key check][B final] "QXV" name ctime.lo ctime.hi mtime.lo mtime.hi
//   salt S "QXVEOF" C
#pragma once

#include <cstdint>

constexpr uint32_t CONTAINER_CHUNK_SIZE = 16384;      // unit of every file transfer
constexpr uint32_t CONTAINER_EXTEND_MARGIN = 164;     // reserved beyond salt, data and key check
constexpr uint32_t CONTAINER_TRAILER_MAX = 80;        // longest trailer, searched from the end
constexpr uint64_t CONTAINER_SIZE_LIMIT = 1ull << 31; // plain files this size or larger: refused

constexpr const char *CONTAINER_MAGIC = "QXV";
constexpr const char *CONTAINER_END_MARKER = "QXVEOF";

// Results of container_crypt_file.
constexpr int CRYPT_OK = 0;
constexpr int CRYPT_ERR_FILE = 2;       // cannot open, size, read or write a file; target exists
constexpr int CRYPT_ERR_FORMAT = 3;     // not a well-formed container (or an unknown mode)
constexpr int CRYPT_ERR_PASSWORD = 4;   // the key check block does not match the password
constexpr int CRYPT_ERR_DISK_FULL = 10; // the file cannot be extended to the reserved size
constexpr int CRYPT_ERR_TOO_LARGE = 11; // the plain file has 2 GiB or more
constexpr int CRYPT_ERR_LINKED = 12;    // the file has other names (hard links): not encrypted
constexpr int CRYPT_ERR_JOURNAL_TAKEN = 13; // another file holds the journal's name

// Mode letters: 'e'/'d' DES, 'E'/'D' Triple-DES (two keys), 'A'/'C' AES-128,
// encrypt/decrypt.
//
// Encryption turns `source` itself into a container (`target` is not used) and keeps its
// times; any failure leaves the file as it was. Decryption writes the new file `target`, which
// must not exist, from the container `source`, which is never modified; the algorithm named in
// the trailer wins over the letter. A wrong password or a damaged container is found before the
// target is created, and a failure leaves no target behind. Paths are UTF-8, the password is
// the user's bytes.
int container_crypt_file(const char *source, const char *target, const char *password, char mode);
