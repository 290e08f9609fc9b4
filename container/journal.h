// The journal of an in-place encryption: a file beside the one being encrypted,
// "<name>.qxvj", that makes every overwrite of the user's file recoverable should the process
// die or the machine stop halfway.
//
// Before a byte of the file changes, the journal holds a fixed header (how to redo the
// encryption: cipher, salt, plain size, the original times, and a check value that tells the
// right password). It is written under a temporary name, flushed, and only then renamed to its
// own name and the folder flushed: a file under the journal's name that does not start with a
// whole header is never ours, and never deleted or acted on. Each overwrite of the file is
// then a record: where it goes, how far the ciphertext reaches once it is there, and what lets
// a half-written region be told and made whole (for a run of whole chunks a checksum per sector
// of its plain bytes, for the tail the bytes themselves). A record is flushed before the file is
// touched, and the file is flushed before the record's slot is used again; the two slots
// alternate, so the newest whole record, with the record before it while that one's slot is
// not taken (its writes may still be on their way to the disk while the newest is written),
// describes the file: once they are written, everything below `done` is ciphertext and every
// byte from `done` to the plain size plain.
// Records carry a sequence number and checksums, so a record cut short by a crash is recognised
// and the one before it used.
//
// Layout (little-endian): header of JOURNAL_HEADER_SIZE bytes, then two slots, each a record
// header, capacity bytes, and a copy of the record header.
#pragma once

#include "container/cipher_choice.h"
#include "container/derive_key.h"
#include "platform/file_system.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Record of whole chunks (the unit of overwriting between two flushes of the file) of a file
// below 128 MiB, and of every journal of earlier versions; a larger file's records are longer
// (in_place_encryption.h). Also the bound on what a record keeps in the journal.
constexpr uint32_t JOURNAL_RECORD_MAX = 8u << 20;
constexpr uint32_t JOURNAL_HEADER_SIZE = 128;
constexpr uint32_t JOURNAL_RECORD_HEADER = 96;

struct JournalHeader {
    char cipher_name[8] = {}; // the trailer's name of the cipher, zero-terminated
    uint64_t plain_size = 0;
    platform::FileTimes times; // the plain file's, restored on the container
    uint32_t capacity = 0;     // most bytes a record keeps in this journal
    uint8_t salt[CONTAINER_SALT_LENGTH] = {};
    uint8_t key_check[CONTAINER_KEY_MAX] = {}; // see journal_key_check
};

enum class RecordKind : uint32_t {
    Data = 1,  // ciphertext of whole chunks
    Final = 2, // the tail's ciphertext, key check block, final block and trailer: the end
    Undo = 3,  // plain bytes put back while a failed encryption is taken back
    Done = 4,  // the container is whole (`done`: its size) and about to take its new name
};

struct JournalRecord {
    RecordKind kind = RecordKind::Data;
    uint64_t sequence = 0;
    uint64_t offset = 0; // where the bytes go in the file
    uint64_t length = 0;
    uint64_t done = 0;          // below it the file is ciphertext once the record is written
    uint64_t stored = 0;        // bytes the journal keeps for the record
    uint64_t data_checksum = 0; // of those bytes
    // Of the region's plain bytes (records kept as sector sums), or of what the file held where
    // the bytes go, up to the plain size (records kept whole): should the record's bytes be
    // spoilt, the file still tells whether it was written.
    uint64_t before_checksum = 0;
};

// "<path>.qxvj"
std::string journal_path(const std::string &path);
// "<path>.qxvj.tmp": where a journal's header is written before the journal takes its name.
std::string journal_temporary_path(const std::string &path);
// Whether a file name (without its folder) is a journal's, or a journal's before it took its
// name: "<name>.qxvj" or "<name>.qxvj.tmp", any letter case.
bool journal_name(const std::string &name);

// Whether the journal beside `path` (if any) describes an encryption of the file there that is
// not finished: a whole header of ours, and not a finished encryption whose container has left
// (its `Done` record says a size other than `file_size`).
bool journal_unfinished(const std::string &path, uint64_t file_size);

// The value stored to recognise the password: the key encrypted under itself in CBC mode with
// a zero IV (what the container's key check block is, without the chaining).
bool journal_key_check(const CipherChoice &cipher, const uint8_t *key,
                       uint8_t out[CONTAINER_KEY_MAX]);

class Journal {
public:
    enum class Found { None, Foreign, Spoilt, Whole, Error };

    // Creates the journal at `path` (it must not exist): the header is written under the
    // temporary name and made durable, then the journal takes its name, durably too. A
    // temporary file left by a run that died before the rename is removed first, if it is ours.
    bool create(const std::string &path, const JournalHeader &header);
    // The same in two steps, so that a first record can join the header under one flush:
    // begin writes the header under the temporary name, unflushed; reserve, write_bytes and
    // seal may follow, and the seal (or publish) makes it all durable and gives the journal
    // its name. Nothing may touch the file the journal guards before that.
    bool begin(const std::string &path, const JournalHeader &header);
    bool publish();
    // Grows the journal to its full size, so that a full disk shows before the file changes.
    bool reserve();
    // None: no journal; Foreign: a file that does not start like a journal (not ours: left
    // alone); Spoilt: a journal's start with a header that does not read; Error: it cannot be
    // opened or read.
    Found open(const std::string &path, JournalHeader *header);

    // A record is written bytes first, at any offsets within it, then sealed: its header
    // (checksums set by the caller) at the slot's start, a copy at the slot's end, and the
    // journal flushed.
    bool write_bytes(const JournalRecord &record, uint64_t at, const uint8_t *data, size_t length);
    bool seal(const JournalRecord &record);
    // The same in two steps, for a journal that has its name: the headers written, then the
    // flush, which may be made on another thread while this one writes nothing to the journal.
    bool write_seal(const JournalRecord &record);
    bool flush();
    bool read_bytes(const JournalRecord &record, uint64_t at, uint8_t *data, size_t length);
    // The record each slot holds, from either copy of its header (the newer when they differ);
    // an empty slot when neither reads.
    bool headers(std::optional<JournalRecord> slots[2]);
    // Whether a record's bytes match its checksum, read through `scratch`.
    bool verify(const JournalRecord &record, uint8_t *scratch, size_t scratch_size, bool *whole);

    // Closes and deletes the journal, then syncs its folder (not checked: see there). False,
    // and the journal open again, when it cannot be deleted.
    bool remove();
    void close() { file_.reset(); }

private:
    friend bool journal_unfinished(const std::string &path, uint64_t file_size);
    uint64_t slot_offset(uint64_t sequence) const;
    uint64_t copy_offset(uint64_t sequence) const;

    std::unique_ptr<platform::File> file_;
    std::string path_;
    std::string published_; // the name a journal begun is to take; empty once it has it
    std::optional<platform::FileIdentity> identity_;
    uint32_t capacity_ = 0;
};
