// Encryption in place. The plain file is grown first to a size the container cannot exceed, so a
// full disk shows before any byte changes; then its chunks are overwritten with ciphertext and
// the tail, key check block, final block and trailer follow. Every overwrite goes through the
// journal beside the file (container/journal.h), so a process killed or a machine stopped at
// any point leaves a file that the next encryption with the same password finishes.
//
// A failure of a read or write, or the file changing size under us, takes the encryption back:
// the ciphertext is decrypted again, from the end towards the start and through the journal as
// well, and the old size and times are restored. Should even that fail, the journal stays and
// the next run finishes the encryption instead.
#include "container/buffer_writer.h"
#include "container/cipher_choice.h"
#include "container/crypt_session.h"
#include "container/journal.h"
#include "container/tlv.h"
#include "crypto/wipe.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

using platform::Origin;

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

// Size the file is grown to before the first overwrite.
uint64_t reserved_size(const CipherChoice &cipher, uint64_t plain_size) {
    return CONTAINER_SALT_LENGTH + plain_size / 8 * 8 + cipher.key_length + CONTAINER_EXTEND_MARGIN;
}

// Largest record the encryption of a file of `plain_size` bytes writes: a run of whole chunks,
// or the tail with the key check block, final block and trailer.
uint32_t record_capacity(const CipherChoice &cipher, uint64_t plain_size) {
    const uint64_t chunked = plain_size / CONTAINER_CHUNK_SIZE * CONTAINER_CHUNK_SIZE;
    const uint64_t tail =
        plain_size - chunked + cipher.key_length + cipher.block_size + CONTAINER_TRAILER_MAX;
    return static_cast<uint32_t>(
        std::max<uint64_t>(std::min<uint64_t>(JOURNAL_RECORD_MAX, chunked), tail));
}

// One in-place encryption, fresh or taken up again from its journal.
class InPlaceEncryption {
public:
    InPlaceEncryption(CryptSession &s, const CipherChoice &cipher, const JournalHeader &header,
                      Journal &journal)
        : s_(s), cipher_(cipher), header_(header), journal_(journal),
          chunked_end_(header.plain_size / CONTAINER_CHUNK_SIZE * CONTAINER_CHUNK_SIZE),
          reserved_(reserved_size(cipher, header.plain_size)) {}

    int run_fresh();
    int resume();

private:
    uint8_t *bytes() { return s_.record.get() + JOURNAL_RECORD_HEADER; }
    bool reserve();
    bool forward();
    bool make_final_record(uint64_t *length);
    bool commit(RecordKind kind, uint64_t offset, uint64_t length, uint64_t done);
    bool put(const JournalRecord &record);
    bool chain_block(uint64_t offset, uint8_t *block);
    bool crypt(uint32_t mode, uint64_t offset, uint8_t *data, uint64_t length);
    bool plausible(const JournalRecord &record) const;
    bool belongs_here(const JournalRecord &record);
    bool finish();
    bool take_back();
    int failed(int result) {
        take_back();
        return result;
    }

    CryptSession &s_;
    const CipherChoice &cipher_;
    const JournalHeader &header_;
    Journal &journal_;
    const uint64_t chunked_end_; // the whole chunks of the plain file end here
    const uint64_t reserved_;
    uint64_t done_ = 0; // below it the file is ciphertext
    uint64_t sequence_ = 0;
    JournalRecord last_;      // newest record in the journal
    bool last_unput_ = false; // journaled, but perhaps not (wholly) in the file
};

bool InPlaceEncryption::reserve() {
    return s_.target->seek(static_cast<int64_t>(reserved_), Origin::Begin) && s_.target->set_end();
}

// The CBC chaining value for the block at `offset`: the ciphertext block before it.
bool InPlaceEncryption::chain_block(uint64_t offset, uint8_t *block) {
    if (offset == 0) {
        std::memset(block, 0, cipher_.block_size);
        return true;
    }
    return s_.source->seek(static_cast<int64_t>(offset - cipher_.block_size), Origin::Begin) &&
           platform::read_exact(*s_.source, block, cipher_.block_size);
}

// En- or decrypts `length` bytes in place that belong at `offset` of the file.
bool InPlaceEncryption::crypt(uint32_t mode, uint64_t offset, uint8_t *data, uint64_t length) {
    uint8_t chain[16];
    const bool ok = chain_block(offset, chain) &&
                    convmech_init(cipher_.algorithm, mode, &s_.context, s_.key, chain) == 0 &&
                    convmech_update(cipher_.algorithm, mode, &s_.context, data, data,
                                    static_cast<uint32_t>(length)) == 0;
    wipe_memory(&s_.context, sizeof s_.context);
    return ok;
}

// Journals the record now in the buffer, then writes it over the file.
bool InPlaceEncryption::commit(RecordKind kind, uint64_t offset, uint64_t length, uint64_t done) {
    JournalRecord record;
    record.kind = kind;
    record.sequence = sequence_;
    record.offset = offset;
    record.length = length;
    record.done = done;
    if (!journal_.write(record, s_.record.get())) return false;
    ++sequence_;
    last_ = record;
    last_unput_ = true;
    if (!put(record)) return false;
    last_unput_ = false;
    done_ = done;
    return true;
}

// Writes a record's bytes over the file and flushes it: the slot may then be used again.
bool InPlaceEncryption::put(const JournalRecord &record) {
    return s_.target->seek(static_cast<int64_t>(record.offset), Origin::Begin) &&
           platform::write_exact(*s_.target, bytes(), record.length) && s_.target->flush();
}

bool InPlaceEncryption::forward() {
    while (done_ < chunked_end_) {
        const uint64_t length = std::min<uint64_t>(JOURNAL_RECORD_MAX, chunked_end_ - done_);
        last_unput_ = false; // the buffer is about to hold the next record
        if (!s_.source->seek(static_cast<int64_t>(done_), Origin::Begin) ||
            !platform::read_exact(*s_.source, bytes(), length) ||
            !crypt(CONVMECH_CBC_ENCRYPT, done_, bytes(), length) ||
            !commit(RecordKind::Data, done_, length, done_ + length))
            return false;
    }
    // Nobody may have grown or cut the file meanwhile.
    uint64_t size_now = 0;
    uint64_t length = 0;
    return s_.target->size(&size_now) && size_now == reserved_ && make_final_record(&length) &&
           commit(RecordKind::Final, chunked_end_, length, chunked_end_ + length);
}

// The tail after the whole chunks: its whole blocks, the key check block, the padded final
// block and the trailer, in the record buffer.
bool InPlaceEncryption::make_final_record(uint64_t *length) {
    const auto remainder = static_cast<uint32_t>(header_.plain_size - chunked_end_);
    const uint32_t whole = remainder / cipher_.block_size * cipher_.block_size;
    const uint32_t block = cipher_.block_size;
    uint8_t *out = bytes();
    last_unput_ = false;
    if (remainder > 0 && (!s_.source->seek(static_cast<int64_t>(chunked_end_), Origin::Begin) ||
                          !platform::read_exact(*s_.source, out, remainder)))
        return false;
    uint8_t partial[16] = {};
    std::memcpy(partial, out + whole, remainder - whole);
    uint8_t chain[16];
    uint32_t final_length = remainder - whole;
    bool ok =
        chain_block(chunked_end_, chain) &&
        convmech_init(cipher_.algorithm, CONVMECH_CBC_ENCRYPT, &s_.context, s_.key, chain) == 0 &&
        convmech_update(cipher_.algorithm, CONVMECH_CBC_ENCRYPT, &s_.context, out, out, whole) ==
            0 &&
        convmech_update(cipher_.algorithm, CONVMECH_CBC_ENCRYPT, &s_.context, s_.key, out + whole,
                        cipher_.key_length) == 0 &&
        convmech_final(cipher_.algorithm, CONVMECH_CBC_ENCRYPT, &s_.context, 1957, partial,
                       out + whole + cipher_.key_length, &final_length) == 0 &&
        final_length == block;
    wipe_memory(partial, sizeof partial);
    wipe_memory(&s_.context, sizeof s_.context);
    const uint32_t ciphertext = whole + cipher_.key_length + block;
    BufferWriter trailer(out + ciphertext, header_.capacity - ciphertext);
    ok = ok && write_trailer(trailer, cipher_, header_.times, header_.salt,
                             static_cast<uint32_t>(header_.plain_size),
                             static_cast<uint32_t>(ciphertext_length(cipher_, header_.plain_size)));
    *length = ciphertext + trailer.used();
    return ok;
}

// The container is whole once the final record is in: cut the reserve, give back the times
// and put it on disk before the journal goes.
bool InPlaceEncryption::finish() {
    if (!s_.target->seek(static_cast<int64_t>(done_), Origin::Begin) || !s_.target->set_end())
        return false;
    s_.target->set_times(header_.times); // a time not kept spoils nothing
    return s_.target->flush() && journal_.remove();
}

// Puts the plain file back, newest ciphertext first, each step journaled like the encryption.
bool InPlaceEncryption::take_back() {
    if (last_unput_) {
        if (!put(last_)) return false;
        last_unput_ = false;
        done_ = last_.done;
    }
    const uint32_t block = cipher_.block_size;
    if (done_ > chunked_end_) {
        // The tail: its whole blocks, then the plain bytes inside the padded final block.
        const auto remainder = static_cast<uint32_t>(header_.plain_size - chunked_end_);
        const uint32_t whole = remainder / block * block;
        const uint32_t ciphertext = whole + cipher_.key_length + block;
        if (!s_.source->seek(static_cast<int64_t>(chunked_end_), Origin::Begin) ||
            !platform::read_exact(*s_.source, bytes(), ciphertext) ||
            !crypt(CONVMECH_CBC_DECRYPT, chunked_end_, bytes(), ciphertext))
            return false;
        std::memmove(bytes() + whole, bytes() + whole + cipher_.key_length, remainder - whole);
        if (!commit(RecordKind::Undo, chunked_end_, remainder, chunked_end_)) return false;
    }
    while (done_ > 0) {
        const uint64_t start = done_ - std::min<uint64_t>(done_, JOURNAL_RECORD_MAX);
        const uint64_t length = done_ - start;
        if (!s_.source->seek(static_cast<int64_t>(start), Origin::Begin) ||
            !platform::read_exact(*s_.source, bytes(), length) ||
            !crypt(CONVMECH_CBC_DECRYPT, start, bytes(), length) ||
            !commit(RecordKind::Undo, start, length, start))
            return false;
    }
    if (!s_.target->seek(static_cast<int64_t>(header_.plain_size), Origin::Begin) ||
        !s_.target->set_end())
        return false;
    s_.target->set_times(header_.times);
    return s_.target->flush() && journal_.remove();
}

int InPlaceEncryption::run_fresh() {
    // A file that changed size since it was measured is left as it is.
    uint64_t size = 0;
    if (!s_.target->size(&size) || size != header_.plain_size) {
        journal_.remove();
        return CRYPT_ERR_FILE;
    }
    if (!journal_.reserve()) {
        journal_.remove();
        return CRYPT_ERR_DISK_FULL;
    }
    if (!reserve()) return failed(CRYPT_ERR_DISK_FULL);
    if (!forward() || !finish()) return failed(CRYPT_ERR_FILE);
    return CRYPT_OK;
}

// Whether a record is one this encryption could have written: data in whole chunks below the
// tail, the final record at the tail, undo records ending where the ciphertext then ended.
bool InPlaceEncryption::plausible(const JournalRecord &r) const {
    const uint64_t end = r.offset + r.length;
    if (r.offset > reserved_ || r.length > reserved_ - r.offset) return false;
    switch (r.kind) {
    case RecordKind::Data:
        return r.offset % CONTAINER_CHUNK_SIZE == 0 && r.length % CONTAINER_CHUNK_SIZE == 0 &&
               r.length > 0 && r.done == end && end <= chunked_end_;
    case RecordKind::Final:
        return r.offset == chunked_end_ && r.done == end;
    case RecordKind::Undo:
        return r.done == r.offset && end <= header_.plain_size &&
               r.offset % CONTAINER_CHUNK_SIZE == 0;
    }
    return false;
}

// Whether the file is still the one the journal describes: at the newest record's offset it
// holds either the record's first block or the bytes that become it.
bool InPlaceEncryption::belongs_here(const JournalRecord &record) {
    uint64_t size = 0;
    if (!s_.target->size(&size) || size < header_.plain_size ||
        size > std::max<uint64_t>(reserved_, record.offset + record.length))
        return false;
    const uint32_t block = cipher_.block_size;
    const bool plain_tail_only =
        record.kind == RecordKind::Final && header_.plain_size - chunked_end_ < block;
    if (record.length < block || plain_tail_only) return true; // nothing to compare
    uint8_t found[16];
    if (!s_.source->seek(static_cast<int64_t>(record.offset), Origin::Begin) ||
        !platform::read_exact(*s_.source, found, block))
        return false;
    if (std::memcmp(found, bytes(), block) == 0) return true;
    const uint32_t mode =
        record.kind == RecordKind::Undo ? CONVMECH_CBC_DECRYPT : CONVMECH_CBC_ENCRYPT;
    const bool before =
        crypt(mode, record.offset, found, block) && std::memcmp(found, bytes(), block) == 0;
    wipe_memory(found, sizeof found);
    return before;
}

int InPlaceEncryption::resume() {
    JournalRecord newest;
    bool found = false;
    if (!journal_.newest(&newest, s_.record.get(), &found)) return CRYPT_ERR_FILE;
    if (found && !plausible(newest)) return CRYPT_ERR_FORMAT;
    if (!belongs_here(found ? newest : JournalRecord{})) return CRYPT_ERR_FORMAT;
    if (found) {
        // The newest record may be only partly in the file: put it (again) before going on.
        sequence_ = newest.sequence + 1;
        last_ = newest;
        last_unput_ = true;
    }
    if (!reserve()) return failed(CRYPT_ERR_DISK_FULL);
    if (found) {
        if (!put(newest)) return failed(CRYPT_ERR_FILE);
        last_unput_ = false;
        done_ = newest.done;
    }
    if (!(found && newest.kind == RecordKind::Final) && !forward()) return failed(CRYPT_ERR_FILE);
    if (!finish()) return failed(CRYPT_ERR_FILE);
    return CRYPT_OK;
}

bool allocate_record(CryptSession &s, uint32_t capacity) {
    s.record_size = JOURNAL_RECORD_HEADER + capacity;
    s.record.reset(new (std::nothrow) uint8_t[s.record_size]);
    return s.record != nullptr;
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
        if (cipher == nullptr || header.plain_size >= CONTAINER_SIZE_LIMIT ||
            header.capacity < record_capacity(*cipher, header.plain_size))
            return CRYPT_ERR_FORMAT;
        derive_key(password, header.salt, CONTAINER_SALT_LENGTH, s.key, cipher->key_length);
        uint8_t check[16];
        const bool right = journal_key_check(cipher->algorithm, s.key, cipher->key_length, check) &&
                           std::memcmp(check, header.key_check, sizeof check) == 0;
        wipe_memory(check, sizeof check);
        if (!right) return CRYPT_ERR_PASSWORD;
        if (!allocate_record(s, header.capacity)) return CRYPT_ERR_FILE;
        return InPlaceEncryption(s, *cipher, header, journal).resume();
    }
    case Journal::Found::Unwritten:
        journal.close();
        if (!fs.remove_file(journal_name)) return CRYPT_ERR_FILE;
        break;
    case Journal::Found::None:
        break;
    }

    const CipherChoice &cipher = requested;
    uint64_t plain_size = 0;
    if (!s.source->size(&plain_size)) return CRYPT_ERR_FILE;
    if (plain_size >= CONTAINER_SIZE_LIMIT) return CRYPT_ERR_TOO_LARGE;
    if (!s.source->get_times(&header.times)) return CRYPT_ERR_FILE;
    header.plain_size = plain_size;
    header.capacity = record_capacity(cipher, plain_size);
    std::strncpy(header.cipher_name, cipher.name, sizeof header.cipher_name - 1);
    make_salt(fs.local_time(), header.salt);
    derive_key(password, header.salt, CONTAINER_SALT_LENGTH, s.key, cipher.key_length);
    if (!journal_key_check(cipher.algorithm, s.key, cipher.key_length, header.key_check) ||
        !allocate_record(s, header.capacity))
        return CRYPT_ERR_FILE;
    if (!journal.create(journal_name, header)) return CRYPT_ERR_FILE;
    return InPlaceEncryption(s, cipher, header, journal).run_fresh();
}
