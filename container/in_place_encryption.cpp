// Encryption in place. The plain file is grown first to a size the container cannot exceed, so
// a full disk shows before any byte changes; then its chunks are overwritten with ciphertext and
// the tail, key check block, final block and trailer follow. Every overwrite goes through the
// journal (container/journal.h): recorded and flushed first, then written, and flushed before
// its slot in the journal is used again. Those flushes are made beside the work (flush_lane.h):
// while one record is encrypted and written, the record before it goes to disk, then the next
// one is sealed, and the one after that is summed.
//
// A failure of a read or write, or the file changing size under us, takes the encryption back:
// the ciphertext is decrypted again, from the end towards the start and through the journal as
// well, and the old size and times are restored. Should even that fail, the journal stays and
// the next run finishes the encryption instead.
#include "container/in_place_encryption.h"

#include "container/buffer_writer.h"
#include "container/checksum.h"
#include "container/encrypt_file.h"
#include "container/little_endian.h"
#include "container/trailer.h"
#include "crypto/wipe.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

using platform::Origin;

} // namespace

uint64_t reserved_size(const CipherChoice &cipher, uint64_t plain_size) {
    return CONTAINER_SALT_LENGTH + plain_size / 8 * 8 + cipher.key_length + CONTAINER_EXTEND_MARGIN;
}

uint32_t record_capacity(const CipherChoice &cipher, uint64_t plain_size, uint64_t run) {
    if (run == 0)
        run = plain_size >= JOURNAL_LONG_RECORDS_FROM ? JOURNAL_LONG_RECORD : JOURNAL_RECORD_MAX;
    const uint64_t chunked = plain_size / CONTAINER_CHUNK_SIZE * CONTAINER_CHUNK_SIZE;
    const uint64_t tail = plain_size - chunked + cipher.key_length + cipher.block_size +
                          trailer_max_length(plain_size);
    const uint64_t sums = std::min(run, chunked) / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE;
    return static_cast<uint32_t>(std::max(sums, tail));
}

size_t work_size(const CipherChoice &cipher, uint64_t plain_size) {
    // Where a record has several pieces: a fourth for the cipher lane.
    const size_t pieces = wide_work(plain_size) ? 4 : 3;
    return pieces * work_piece_size(cipher, plain_size);
}

uint32_t work_piece_size(const CipherChoice &cipher, uint64_t plain_size) {
    if (plain_size >= CONTAINER_CHUNK_SIZE) return JOURNAL_PIECE_SIZE;
    const uint64_t tail =
        std::max<uint64_t>(record_capacity(cipher, plain_size), reserved_size(cipher, plain_size));
    return static_cast<uint32_t>(
        std::min<uint64_t>(JOURNAL_PIECE_SIZE, (tail + 4095) / 4096 * 4096));
}

// Journals of earlier versions (records of JOURNAL_RECORD_MAX) give their own run back too.
uint64_t record_run(uint32_t capacity) {
    const uint64_t bytes = uint64_t{capacity} / JOURNAL_SUM_SIZE * JOURNAL_SECTOR_SIZE;
    return std::min(JOURNAL_LONG_RECORD, bytes / CONTAINER_CHUNK_SIZE * CONTAINER_CHUNK_SIZE);
}

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
    uint8_t chain[CONTAINER_BLOCK_MAX];
    const bool ok = chain_block(offset, chain) &&
                    convmech_init(cipher_.algorithm, mode, &s_.context, s_.key, chain) == 0 &&
                    convmech_update(cipher_.algorithm, mode, &s_.context, data, data,
                                    static_cast<uint32_t>(length)) == 0;
    wipe_memory(&s_.context, sizeof s_.context);
    return ok;
}

// Seals a record (what it keeps is in the journal already), then writes it into the file:
// the final record and undo records, which follow what is on disk. Records of whole chunks go
// their own way (forward).
bool InPlaceEncryption::commit(JournalRecord record) {
    record.sequence = sequence_;
    if (!flush_target() || !journal_.seal(record)) return false;
    ++sequence_;
    last_ = record;
    last_unput_ = true;
    if (!put(record)) return false;
    last_unput_ = false;
    done_ = record.done;
    return true;
}

// Every write given so far on disk, the flushes beside included.
bool InPlaceEncryption::flush_target() {
    if (!flushed_beside()) return false;
    if (!unflushed_) return true;
    if (!s_.target->flush()) return false;
    unflushed_ = false;
    durable_below_ = sequence_;
    return true;
}

// Waits for the flush beside; once the file's is made, the records it covered are on disk. A
// failed one leaves the file's writes to be flushed again.
bool InPlaceEncryption::flushed_beside() {
    const bool ok = flusher_.wait();
    if (!ok)
        unflushed_ = true;
    else if (file_flush_given_)
        durable_below_ = file_flush_covers_;
    file_flush_given_ = false;
    return ok;
}

// The writes of the records before the one about to be put, flushed beside it.
void InPlaceEncryption::give_file_flush() {
    file_flush_covers_ = sequence_;
    file_flush_given_ = true;
    unflushed_ = false;
    platform::File *const target = s_.target.get();
    flusher_.start([target] { return target->flush(); });
}

// Writes a record into the file, unflushed until the next seal or the finish: a run of chunks
// mended from its sums, a tail record's bytes copied from the journal.
bool InPlaceEncryption::put(const JournalRecord &record) {
    unflushed_ = true;
    if (keeps_sums(record)) return mend(record, false);
    for (uint64_t at = 0; at < record.length;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, record.length - at));
        if (!journal_.read_bytes(record, at, piece(0), n) ||
            !s_.target->seek(static_cast<int64_t>(record.offset + at), Origin::Begin) ||
            !platform::write_exact(*s_.target, piece(0), n))
            return false;
        at += n;
    }
    return true;
}

// Journals a record of whole chunks: the checksum of each sector of the region's plain bytes
// (for an undo record, the ciphertext decrypted), then commits it.
bool InPlaceEncryption::stream_record(RecordKind kind, uint64_t offset, uint64_t length,
                                      uint64_t done) {
    RecordSums sums;
    begin_sums(kind, offset, length, done, sequence_, &sums);
    const bool decrypt = kind == RecordKind::Undo; // the region is ciphertext now
    uint8_t chain[CONTAINER_BLOCK_MAX];
    bool ok = !decrypt ||
              (chain_block(offset, chain) && convmech_init(cipher_.algorithm, cipher_.decrypt_mode,
                                                           &s_.context, s_.key, chain) == 0);
    while (ok && sums.at < length)
        ok = sum_piece(sums, decrypt, piece(0), piece(1));
    wipe_memory(&s_.context, sizeof s_.context);
    return ok && commit(finished(sums));
}

void InPlaceEncryption::begin_sums(RecordKind kind, uint64_t offset, uint64_t length, uint64_t done,
                                   uint64_t sequence, RecordSums *sums) {
    *sums = RecordSums();
    JournalRecord &record = sums->record;
    record.kind = kind;
    record.sequence = sequence;
    record.offset = offset;
    record.length = length;
    record.done = done;
    record.stored = length / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE;
}

// The next piece of a record's region: read into `data` (with `decrypt`, decrypted by the
// context, which the caller set up), its sector sums into `sector_sums` and the journal.
bool InPlaceEncryption::sum_piece(RecordSums &sums, bool decrypt, uint8_t *data,
                                  uint8_t *sector_sums) {
    const uint64_t at = sums.at;
    return take_sums(sums, decrypt, data, sector_sums) &&
           journal_.write_bytes(sums.record, at / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE,
                                sector_sums,
                                (sums.at - at) / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE);
}

// The same, the sums into `sector_sums` only.
bool InPlaceEncryption::take_sums(RecordSums &sums, bool decrypt, uint8_t *data,
                                  uint8_t *sector_sums) {
    const JournalRecord &record = sums.record;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, record.length - sums.at));
    if (!s_.source->seek(static_cast<int64_t>(record.offset + sums.at), Origin::Begin) ||
        !platform::read_exact(*s_.source, data, n) ||
        (decrypt &&
         convmech_update(cipher_.algorithm, cipher_.decrypt_mode, &s_.context, data, data, n) != 0))
        return false;
    sums.plain.update(data, n);
    const uint32_t sectors = n / JOURNAL_SECTOR_SIZE;
    for (uint32_t i = 0; i < sectors; ++i)
        put_le64(sector_sums + i * JOURNAL_SUM_SIZE,
                 checksum64(data + i * JOURNAL_SECTOR_SIZE, JOURNAL_SECTOR_SIZE));
    sums.stored.update(sector_sums, sectors * JOURNAL_SUM_SIZE);
    sums.at += n;
    return true;
}

JournalRecord InPlaceEncryption::finished(const RecordSums &sums) {
    JournalRecord record = sums.record;
    record.before_checksum = sums.plain.value();
    record.data_checksum = sums.stored.value();
    return record;
}

// Brings a record of whole chunks into the file: each sector is plain if it matches its sum,
// ciphertext if it decrypts to it, and is made what the record asks (ciphertext for a data
// record, plain for an undo record). False, with nothing written after the first doubtful
// sector, if a sector is neither; `check_only` writes nothing at all.
//
// A piece wholly plain that is to become ciphertext (every piece of a fresh encryption) goes to
// the cipher lane: it is encrypted there while this thread reads and checks the next piece and
// writes the one before. Pieces alternate between work pieces 0 and 3; any other piece is
// mended here, once the lane has finished.
bool InPlaceEncryption::mend(const JournalRecord &r, bool check_only) {
    const bool want_ciphertext = r.kind == RecordKind::Data;
    uint8_t chain[CONTAINER_BLOCK_MAX];
    if (!chain_block(r.offset, chain)) return false;
    const bool on_lane = wide_ && !check_only && want_ciphertext && r.length > piece_size_;
    Encrypted pending; // on the lane, to be written once encrypted
    bool lane_ok = true;
    auto write_pending = [&] {
        lane_.wait();
        const Encrypted done = pending;
        pending = Encrypted();
        return done.length == 0 || (lane_ok && write_piece(done.data, done.offset, done.length));
    };
    bool ok = true;
    bool other = false; // the lane's piece alternates between work pieces 0 and 3
    for (uint64_t at = 0; ok && at < r.length;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, r.length - at));
        const uint32_t sectors = n / JOURNAL_SECTOR_SIZE;
        uint8_t *data = on_lane && other ? piece(3) : piece(0);
        ok = s_.source->seek(static_cast<int64_t>(r.offset + at), Origin::Begin) &&
             platform::read_exact(*s_.source, data, n) &&
             journal_.read_bytes(r, at / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE, piece(2),
                                 sectors * JOURNAL_SUM_SIZE);
        if (!ok) break;
        uint32_t plain_run = 0;
        while (on_lane && plain_run < sectors && matches_sum(data, plain_run))
            ++plain_run;
        if (on_lane && plain_run == sectors) {
            const Encrypted before = pending;
            lane_.wait();
            const bool before_ok = lane_ok; // read before the lane may change it again
            pending = Encrypted{data, r.offset + at, n};
            lane_.start([this, data, n, &chain, &lane_ok] {
                const uint32_t mode = cipher_.encrypt_mode;
                const bool encrypted =
                    convmech_init(cipher_.algorithm, mode, &s_.context, s_.key, chain) == 0 &&
                    convmech_update(cipher_.algorithm, mode, &s_.context, data, data, n) == 0;
                std::memcpy(chain, data + n - cipher_.block_size, cipher_.block_size);
                if (!encrypted) lane_ok = false;
            });
            ok = before.length == 0 ||
                 (before_ok && write_piece(before.data, before.offset, before.length));
            // Not before a piece of this record is written: the flush of the record before
            // may be made after that, here as where it is made on a thread of its own.
            if (ok && pipelined_ && at > 0) ok = step_ahead(false);
            other = !other;
            at += n;
            continue;
        }
        ok = write_pending() && mend_piece(r, data, sectors, chain);
        ok = ok && (check_only || write_piece(data, r.offset + at, n));
        at += n;
    }
    // After a failure the piece on the lane is not written either.
    if (ok)
        ok = write_pending();
    else
        lane_.wait();
    wipe_memory(&s_.context, sizeof s_.context);
    return ok;
}

// A piece of a record mended here: runs of plain sectors are encrypted, runs of the others
// decrypted, a run at a time; piece 1 gets the ciphertext and piece 2 (its sums read first)
// nothing else.
bool InPlaceEncryption::mend_piece(const JournalRecord &r, uint8_t *data, uint32_t sectors,
                                   uint8_t *chain) {
    const uint32_t block = cipher_.block_size;
    const bool want_ciphertext = r.kind == RecordKind::Data;
    auto is_plain = [&](uint32_t i) { return matches_sum(data, i); };
    bool ok = true;
    for (uint32_t first = 0; ok && first < sectors;) {
        const bool plain = is_plain(first);
        uint32_t end = first + 1;
        while (end < sectors && is_plain(end) == plain)
            ++end;
        uint8_t *from = data + first * JOURNAL_SECTOR_SIZE;
        const uint32_t bytes = (end - first) * JOURNAL_SECTOR_SIZE;
        // Plain sectors are encrypted where they are when ciphertext is wanted (the usual
        // case), else beside them; the others are decrypted beside them and checked.
        const bool in_place = plain && want_ciphertext;
        uint8_t *other = in_place ? from : piece(1) + first * JOURNAL_SECTOR_SIZE;
        const uint32_t mode = plain ? cipher_.encrypt_mode : cipher_.decrypt_mode;
        ok = convmech_init(cipher_.algorithm, mode, &s_.context, s_.key, chain) == 0 &&
             convmech_update(cipher_.algorithm, mode, &s_.context, from, other, bytes) == 0;
        for (uint32_t i = first; ok && !plain && i < end; ++i)
            ok = checksum64(piece(1) + i * JOURNAL_SECTOR_SIZE, JOURNAL_SECTOR_SIZE) ==
                 get_le64(piece(2) + i * JOURNAL_SUM_SIZE);
        std::memcpy(chain, (plain ? other : from) + bytes - block, block); // the ciphertext
        if (ok && !in_place && plain == want_ciphertext) std::memcpy(from, other, bytes);
        first = end;
    }
    return ok;
}

// Whether sector `i` of a piece read into `data` is what its sum (in piece 2) says.
bool InPlaceEncryption::matches_sum(const uint8_t *data, uint32_t i) {
    return checksum64(data + i * JOURNAL_SECTOR_SIZE, JOURNAL_SECTOR_SIZE) ==
           get_le64(piece(2) + i * JOURNAL_SUM_SIZE);
}

// Writes a mended piece into the file; the disk takes it while the cipher works on the next,
// so the flush at the record's end waits for the last pieces only.
bool InPlaceEncryption::write_piece(const uint8_t *data, uint64_t offset, uint32_t length) {
    if (!s_.target->seek(static_cast<int64_t>(offset), Origin::Begin) ||
        !platform::write_exact(*s_.target, data, length))
        return false;
    s_.target->start_write_back(offset, length);
    return true;
}

bool InPlaceEncryption::forward() {
    if (done_ < chunked_end_) {
        const uint64_t longest = std::min(run_, chunked_end_ - done_);
        ahead_sums_.reset(new (std::nothrow)
                              uint8_t[longest / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE]);
        if (!ahead_sums_) return false;
    }
    durable_below_ = sequence_; // nothing written yet, or flushed by the recovery
    next_sealed_ = false;
    begin_ahead(done_, sequence_);
    while (done_ < chunked_end_) {
        // Asked between records, where a stop is taken back like a failure.
        if (s_.progress && !s_.progress->advance(done_, header_.plain_size)) {
            stopped_ = true;
            return false;
        }
        if (!step_ahead(true)) return false;
        const JournalRecord record = next_;
        next_sealed_ = false;
        if (record.sequence != sequence_ || record.offset != done_) return false;
        if (unflushed_) give_file_flush();
        ++sequence_;
        last_ = record;
        last_unput_ = true;
        pipelined_ = true;
        const bool put_whole = put(record);
        pipelined_ = false;
        if (!put_whole) return false;
        last_unput_ = false;
        done_ = record.done;
    }
    if (s_.progress && !s_.progress->may_finish()) {
        stopped_ = true;
        return false;
    }
    // Nobody may have grown or cut the file meanwhile.
    uint64_t size_now = 0;
    return s_.target->size(&size_now) && size_now == reserved_ && tail_record();
}

void InPlaceEncryption::begin_ahead(uint64_t offset, uint64_t sequence) {
    ahead_begun_ = offset < chunked_end_;
    if (!ahead_begun_) return;
    const uint64_t length = std::min(run_, chunked_end_ - offset);
    begin_sums(RecordKind::Data, offset, length, offset + length, sequence, &ahead_);
}

// A step for the records ahead of the one being put: a piece of the sums of the record ahead,
// taken into memory; once they are whole, the record before is sealed, and the slot is free,
// the sums and the header stored and their flush given. At a record's boundary, where the next
// record must be sealed and on disk before it is put, what is left is done, waiting as needed.
bool InPlaceEncryption::step_ahead(bool at_boundary) {
    if (file_flush_given_ && flusher_.settled() && !flushed_beside()) return false;
    // While the record ahead is the next to put, two pieces a step: it is sealed halfway
    // through the record being put, and the one after it is summed before the next boundary.
    const bool next = !next_sealed_;
    if (ahead_begun_ && ahead_.at < ahead_.record.length && (next || !at_boundary)) {
        uint8_t *const data = piece(1); // free between the pieces mend_piece takes
        const int pieces = next ? 2 : 1;
        for (int taken = 0; ahead_.at < ahead_.record.length && (at_boundary || taken < pieces);
             ++taken)
            if (!take_sums(ahead_, false, data,
                           ahead_sums_.get() + ahead_.at / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE))
                return false;
        if (!at_boundary && ahead_.at < ahead_.record.length) return true;
    }
    if (!next_sealed_ && ahead_begun_ && ahead_.at == ahead_.record.length) {
        if (!slot_free(ahead_.record.sequence)) {
            if (!at_boundary) return true;
            if (!flushed_beside() || !slot_free(ahead_.record.sequence)) return false;
        }
        if (!store_ahead()) return false;
    }
    return !at_boundary || (next_sealed_ && flushed_beside());
}

// The record ahead into its slot, sealed; its flush beside the work.
bool InPlaceEncryption::store_ahead() {
    next_ = finished(ahead_);
    if (!journal_.write_bytes(next_, 0, ahead_sums_.get(), next_.stored) ||
        !journal_.write_seal(next_))
        return false;
    next_sealed_ = true;
    flusher_.start([this] { return journal_.flush(); });
    begin_ahead(next_.done, next_.sequence + 1);
    return true;
}

// The tail after the whole chunks, read from the file, sealed and committed as the final record.
bool InPlaceEncryption::tail_record() {
    // Its slot held the record two before it: everything written goes to disk first.
    JournalRecord record;
    return flush_target() && journal_tail(&record) && commit(record);
}

// The final record's bytes into the journal, not yet sealed.
bool InPlaceEncryption::journal_tail(JournalRecord *record) {
    if (remainder() > 0 && (!s_.source->seek(static_cast<int64_t>(chunked_end_), Origin::Begin) ||
                            !platform::read_exact(*s_.source, piece(0), remainder())))
        return false;
    record->kind = RecordKind::Final;
    record->offset = chunked_end_;
    record->before_checksum = checksum64(piece(0), remainder());
    if (!seal_tail(piece(0), &record->length)) return false;
    record->done = chunked_end_ + record->length;
    record->stored = record->length;
    record->sequence = sequence_;
    record->data_checksum = checksum64(piece(0), record->length);
    return journal_.write_bytes(*record, 0, piece(0), record->length);
}

// The final record taken back: the tail's whole blocks, then the plain bytes inside the padded
// final block.
bool InPlaceEncryption::tail_undo_record() {
    const uint32_t block = cipher_.block_size;
    const uint32_t whole = remainder() / block * block;
    const uint32_t ciphertext = whole + cipher_.key_length + block;
    JournalRecord record;
    record.kind = RecordKind::Undo;
    record.sequence = sequence_;
    record.offset = record.done = chunked_end_;
    record.length = record.stored = remainder();
    if (!s_.source->seek(static_cast<int64_t>(chunked_end_), Origin::Begin) ||
        !platform::read_exact(*s_.source, piece(0), ciphertext))
        return false;
    record.before_checksum = checksum64(piece(0), remainder());
    if (!crypt(cipher_.decrypt_mode, chunked_end_, piece(0), ciphertext)) return false;
    std::memmove(piece(0) + whole, piece(0) + whole + cipher_.key_length, remainder() - whole);
    record.data_checksum = checksum64(piece(0), remainder());
    return journal_.write_bytes(record, 0, piece(0), remainder()) && commit(record);
}

// Turns the plain tail at `tail` into its whole blocks' ciphertext, the key check block, the
// padded final block and the trailer, in place (room: the header's capacity).
bool InPlaceEncryption::seal_tail(uint8_t *tail, uint64_t *length) {
    const uint32_t block = cipher_.block_size;
    const uint32_t whole = remainder() / block * block;
    uint8_t partial[CONTAINER_BLOCK_MAX] = {};
    std::memcpy(partial, tail + whole, remainder() - whole);
    uint8_t chain[CONTAINER_BLOCK_MAX];
    uint32_t final_length = remainder() - whole;
    bool ok =
        chain_block(chunked_end_, chain) &&
        convmech_init(cipher_.algorithm, cipher_.encrypt_mode, &s_.context, s_.key, chain) == 0 &&
        convmech_update(cipher_.algorithm, cipher_.encrypt_mode, &s_.context, tail, tail, whole) ==
            0 &&
        convmech_update(cipher_.algorithm, cipher_.encrypt_mode, &s_.context, s_.key, tail + whole,
                        cipher_.key_length) == 0 &&
        convmech_final(cipher_.algorithm, cipher_.encrypt_mode, &s_.context, CONTAINER_PADDING,
                       partial, tail + whole + cipher_.key_length, &final_length) == 0 &&
        final_length == block;
    wipe_memory(partial, sizeof partial);
    wipe_memory(&s_.context, sizeof s_.context);
    const uint32_t ciphertext = whole + cipher_.key_length + block;
    BufferWriter trailer(tail + ciphertext, header_.capacity - ciphertext);
    ok = ok && trailer_write(trailer, cipher_, header_.times, header_.salt, CONTAINER_SALT_LENGTH,
                             header_.plain_size);
    *length = ciphertext + trailer.used();
    return ok;
}

uint64_t InPlaceEncryption::container_size() const {
    uint8_t trailer[CONTAINER_TRAILER_MAX];
    BufferWriter writer(trailer, sizeof trailer);
    trailer_write(writer, cipher_, header_.times, header_.salt, CONTAINER_SALT_LENGTH,
                  header_.plain_size);
    return ciphertext_length(cipher_, header_.plain_size) + writer.used();
}

// The container is whole once the final record is in: cut the reserve, give back the times
// and put it on disk before it takes its name and the journal goes.
bool InPlaceEncryption::finish() {
    if (!s_.target->seek(static_cast<int64_t>(done_), Origin::Begin) || !s_.target->set_end())
        return false;
    s_.target->set_times(header_.times); // a time not kept spoils nothing
    unflushed_ = true;
    return flush_target();
}

// After finish: the name, then the journal. A failure before the rename takes the encryption
// back; once the container has its name, nothing does.
int InPlaceEncryption::complete() {
    if (!finish()) return failed(CRYPT_ERR_FILE);
    const int result = output_ != nullptr  ? take_name(false)
                       : journal_.remove() ? CRYPT_OK
                                           : failed(CRYPT_ERR_FILE);
    if (result == CRYPT_OK && s_.progress)
        s_.progress->advance(header_.plain_size, header_.plain_size);
    return result;
}

// The engine's handles on the file again, after a rename that did not happen; false (the
// journal stays, for the next run) when the name no longer stands for the file.
bool InPlaceEncryption::reopen() {
    auto &fs = platform::file_system();
    s_.source = fs.open(path_, platform::Access::Read, platform::Share::ReadWrite,
                        platform::Disposition::OpenExisting);
    s_.target = s_.source ? fs.open(path_, platform::Access::Write, platform::Share::Read,
                                    platform::Disposition::OpenExisting)
                          : nullptr;
    const auto read = s_.source ? platform::identity_of(*s_.source) : std::nullopt;
    const auto written = s_.target ? platform::identity_of(*s_.target) : std::nullopt;
    return read && written && *read == output_->file && *written == output_->file;
}

// A Done record first, so that a run finding the journal knows that only the name and the
// journal's deletion were left; then the rename, made durable, and the journal deleted. The
// engine's handles are closed for the rename (Windows renames no file open unshared).
int InPlaceEncryption::take_name(bool sealed) {
    if (!sealed) {
        JournalRecord record;
        record.kind = RecordKind::Done;
        record.sequence = sequence_;
        record.done = done_;
        record.data_checksum = Checksum64().value();
        if (!journal_.seal(record)) return failed(CRYPT_ERR_FILE);
        ++sequence_;
        last_ = record;
    }
    s_.source.reset();
    s_.target.reset();
    auto &fs = platform::file_system();
    if (output_->clear) output_->clear();
    if (!fs.rename_no_replace_if_same(path_, output_->name, output_->file)) {
        // The name cannot be had: the file is put back as it was.
        if (!reopen()) return CRYPT_ERR_FILE;
        return failed(CRYPT_ERR_FILE);
    }
    // The container is whole under its name. Should the deletion not reach the disk, the
    // journal's Done record tells the next run that it is finished. A folder's name changes
    // reach the disk in the order they were made, so the one flush of the folder after the
    // deletion (Journal::remove) makes the rename durable too; a name in another folder is
    // flushed on its own.
    const std::string folder = platform::folder_of(output_->name);
    if (folder != platform::folder_of(path_)) fs.sync_folder(folder);
    journal_.remove();
    return CRYPT_OK;
}

// Whether the file is the whole container the journal's Done record describes: its size, and
// the trailer this encryption writes at its end.
bool InPlaceEncryption::container_in_place() {
    uint8_t expected[CONTAINER_TRAILER_MAX], found[CONTAINER_TRAILER_MAX];
    BufferWriter writer(expected, sizeof expected);
    uint64_t size = 0;
    if (!trailer_write(writer, cipher_, header_.times, header_.salt, CONTAINER_SALT_LENGTH,
                       static_cast<uint32_t>(header_.plain_size)) ||
        !s_.target->size(&size) || size != container_size())
        return false;
    return s_.source->seek(static_cast<int64_t>(size - writer.used()), Origin::Begin) &&
           platform::read_exact(*s_.source, found, writer.used()) &&
           std::memcmp(found, expected, writer.used()) == 0;
}

// Puts the plain file back, newest ciphertext first, each step journaled like the encryption.
bool InPlaceEncryption::take_back() {
    if (last_unput_) {
        if (!put(last_)) return false;
        last_unput_ = false;
        done_ = last_.done;
    }
    // The undo records take slots of records whose writes may not be on disk yet.
    if (!flush_target()) return false;
    if (done_ > chunked_end_ && !tail_undo_record()) return false;
    while (done_ > 0) {
        const uint64_t start = done_ - std::min(done_, run_);
        if (!stream_record(RecordKind::Undo, start, done_ - start, start)) return false;
    }
    if (!s_.target->seek(static_cast<int64_t>(header_.plain_size), Origin::Begin) ||
        !s_.target->set_end())
        return false;
    s_.target->set_times(header_.times);
    unflushed_ = true;
    return flush_target() && journal_.remove();
}

int InPlaceEncryption::run_fresh(const std::string &journal_name) {
    if (!journal_.begin(journal_name, header_)) return CRYPT_ERR_FILE;
    // A file that changed size since it was measured is left as it is.
    uint64_t size = 0;
    if (!s_.target->size(&size) || size != header_.plain_size) {
        journal_.remove();
        return CRYPT_ERR_FILE;
    }
    // A journal of several records grows once it has its name: a full-size file under the
    // temporary name would not be known for ours after a crash.
    const bool one_record = chunked_end_ == 0;
    if (one_record && !journal_.reserve()) {
        journal_.remove();
        return CRYPT_ERR_DISK_FULL;
    }
    // A file without a whole chunk is a single record, the final one: it is sealed with the
    // journal's header, so that one flush of the journal (and one of its folder, for its name)
    // stands before the file changes. Until then the file is as it was.
    JournalRecord tail;
    // A single record is the whole encryption: the last point to stop is before it.
    if (one_record && s_.progress && !s_.progress->may_finish()) {
        journal_.remove();
        return CRYPT_STOPPED;
    }
    if (one_record ? !(journal_tail(&tail) && journal_.seal(tail)) : !journal_.publish()) {
        journal_.remove();
        return CRYPT_ERR_FILE;
    }
    if (!one_record && !journal_.reserve()) {
        journal_.remove();
        return CRYPT_ERR_DISK_FULL;
    }
    if (one_record) {
        sequence_ = tail.sequence + 1;
        last_ = tail;
    }
    if (!reserve()) return failed(CRYPT_ERR_DISK_FULL);
    if (one_record) {
        last_unput_ = true;
        if (!put(tail)) return failed(CRYPT_ERR_FILE);
        last_unput_ = false;
        done_ = tail.done;
    } else if (!forward()) {
        return failed(CRYPT_ERR_FILE);
    }
    return complete();
}
