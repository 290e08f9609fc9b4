// The encrypted container: a plain file's blocks encrypted in place with AES-128 (or DES,
// two-key Triple-DES) in CBC mode, a key check block, a padded final block, and a trailer of
// tag-length-value fields ending in "QXVEOF" and the 4-byte little-endian length C of the
// ciphertext region:
//
//   [floor(S/B)*B data][K key check][B final] "QXV" name ctime.lo ctime.hi mtime.lo mtime.hi
//   salt S "QXVEOF" C
//
// Sizes. S is an unsigned big-endian integer with no leading zero bytes: up to 4 content bytes
// for files below 4 GiB, 5 to 8 beyond. C = floor(S/B)*B + K + B is stored modulo 2^32. Every
// file whose C is below 2^32 therefore gets the layout the format has always had; only larger
// ones get a longer S field and a C that wrapped. A reader recovers the full C of a bare
// container from its file size: the trailer is shorter than 2^32 bytes, so the one value below
// the file size that is congruent to the stored C and leaves less than 2^32 bytes after it is
// C; that C must be the one S implies. Behind a stub the trailer is found by searching the last
// CONTAINER_TRAILER_MAX bytes, and C is the one S implies, checked against the stored low bits.
#pragma once

#include <cstdint>

constexpr uint32_t CONTAINER_CHUNK_SIZE = 16384;  // unit of every file transfer
constexpr uint32_t CONTAINER_EXTEND_MARGIN = 164; // reserved beyond salt, data and key check
// Longest trailer of a file below 4 GiB (S in at most 4 bytes), and of any file: an S of 8
// bytes adds 4. The stub searches the last CONTAINER_TRAILER_MAX bytes for field 1.
constexpr uint32_t CONTAINER_TRAILER_MAX_32 = 80;
constexpr uint32_t CONTAINER_TRAILER_MAX = CONTAINER_TRAILER_MAX_32 + 4;

// Largest S a reader takes: its C and the file's offsets stay far inside 63 bits.
constexpr uint64_t CONTAINER_PLAIN_MAX = (uint64_t{1} << 62) - 1;

constexpr const char *CONTAINER_MAGIC = "QXV";
constexpr const char *CONTAINER_END_MARKER = "QXVEOF";

// Results of container_crypt_file.
constexpr int CRYPT_OK = 0;
constexpr int CRYPT_ERR_FILE = 2;       // cannot open, size, read or write a file; target exists
constexpr int CRYPT_ERR_FORMAT = 3;     // not a well-formed container (or an unknown mode)
constexpr int CRYPT_ERR_PASSWORD = 4;   // the key check block does not match the password
constexpr int CRYPT_ERR_DISK_FULL = 10; // the file cannot be extended to the reserved size
constexpr int CRYPT_ERR_RANDOM = 11;    // the system's random source gave no salt
constexpr int CRYPT_STOPPED = 12;       // the caller's progress asked to stop; nothing changed
constexpr int CRYPT_ERR_LINKED = 13;    // the file has other names (hard links): not encrypted
constexpr int CRYPT_ERR_JOURNAL_TAKEN = 14; // another file holds the journal's name

// Told how far one engine call has come, between records of an encryption and every MiB of a
// decryption, and asked whether to go on. Stopping takes an encryption back to the plain file
// (as after a failure) and removes a decryption's target.
class CryptProgress {
public:
    virtual ~CryptProgress() = default;
    // `done` of `total` plain bytes are through; false stops the call (CRYPT_STOPPED).
    virtual bool advance(uint64_t done, uint64_t total) = 0;
    // Asked by an encryption once its bulk is done, at the last point where a stop still puts
    // the plain file back: false stops it (CRYPT_STOPPED). The caller may hold it here.
    virtual bool may_finish() { return true; }
};

// Mode letters: 'e'/'d' DES, 'E'/'D' Triple-DES (two keys), 'A'/'C' AES-128,
// encrypt/decrypt.
//
// Encryption turns `source` itself into a container (`target` is not used) and keeps its
// times; any failure leaves the file as it was. Decryption writes the new file `target`, which
// must not exist, from the container `source`, which is never modified; the algorithm named in
// the trailer wins over the letter. A wrong password or a damaged container is found before the
// target is created, and a failure leaves no target behind. Paths are UTF-8, the password is
// the user's bytes. `progress`, when given, is told the bytes done and may stop the call.
int container_crypt_file(const char *source, const char *target, const char *password, char mode,
                         CryptProgress *progress = nullptr);
