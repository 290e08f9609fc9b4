// Taking up an encryption that was cut short: the newest whole record of the journal (and the
// record before it, whose writes may not all have reached the disk while the newest was written)
// is checked against the file, written again, and the encryption goes on from where it says.
#include "container/in_place_encryption.h"

#include "container/checksum.h"
#include "crypto/wipe.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

using platform::Origin;

// Whether a record is one this encryption could have written: data in whole chunks below the
// tail, the final record at the tail, undo records ending where the ciphertext then ended.
bool InPlaceEncryption::plausible(const JournalRecord &r) const {
    const uint64_t end = r.offset + r.length;
    if (r.offset > reserved_ || r.length > reserved_ - r.offset) return false;
    if (r.stored != (keeps_sums(r) ? r.length / JOURNAL_SECTOR_SIZE * JOURNAL_SUM_SIZE : r.length))
        return false;
    switch (r.kind) {
    case RecordKind::Data:
        return r.offset % CONTAINER_CHUNK_SIZE == 0 && r.length % CONTAINER_CHUNK_SIZE == 0 &&
               r.length > 0 && r.done == end && end <= chunked_end_;
    case RecordKind::Final:
        return r.offset == chunked_end_ && r.done == end;
    case RecordKind::Undo:
        return r.done == r.offset && end <= header_.plain_size &&
               r.offset % CONTAINER_CHUNK_SIZE == 0;
    case RecordKind::Done:
        return r.offset == 0 && r.length == 0 && r.stored == 0 && r.done == container_size();
    }
    return false;
}

// Whether the file is still the one the journal describes: its size is one the encryption gives
// it, and where the newest record goes it holds that record or what was there before it.
bool InPlaceEncryption::belongs_here(const JournalRecord *newest, bool written) {
    uint64_t size = 0;
    if (!s_.target->size(&size)) return false;
    // Plain, grown by the reserve, or cut to the whole container (before a failure was taken
    // back, or before the journal was deleted).
    if (size != header_.plain_size && size != reserved_ && size != container_size()) return false;
    if (newest == nullptr || newest->length == 0 || written) return true;
    if (keeps_sums(*newest)) return mend(*newest, true);

    // The tail's records, kept whole, piece by piece: the record's bytes (0), what the region
    // held before them (1): the plain tail under the final record, the final record under its
    // undo record; and the file (2). Each byte of the file is the record's (written) or the old one
    // (not yet): a write cut short leaves some of each, never anything else.
    const JournalRecord &r = *newest;
    const uint64_t old_end = std::min(header_.plain_size, size); // beyond: anything
    bool ok = true;
    for (uint64_t at = 0; ok && at < r.length;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, r.length - at));
        ok = journal_.read_bytes(r, at, piece(0), n);
        if (!ok) break;
        std::memcpy(piece(1), piece(0), n);
        ok = tail_before_image(r, piece(1));
        const uint64_t compared = std::min<uint64_t>(n, old_end - std::min(old_end, r.offset + at));
        ok = ok && (compared == 0 ||
                    (s_.source->seek(static_cast<int64_t>(r.offset + at), Origin::Begin) &&
                     platform::read_exact(*s_.source, piece(2), compared)));
        for (uint64_t i = 0; ok && i < compared; ++i)
            ok = piece(2)[i] == piece(0)[i] || piece(2)[i] == piece(1)[i];
        at += n;
    }
    return ok;
}

// The final record's bytes (or, for its undo record, the plain tail) in `data` turned into what
// the region held before: the plain tail, or the final record.
bool InPlaceEncryption::tail_before_image(const JournalRecord &r, uint8_t *data) {
    if (r.kind == RecordKind::Undo) {
        uint64_t length = 0;
        return seal_tail(data, &length);
    }
    const uint32_t whole = remainder() / cipher_.block_size * cipher_.block_size;
    const uint32_t ciphertext = whole + cipher_.key_length + cipher_.block_size;
    if (r.length < ciphertext || !crypt(cipher_.decrypt_mode, r.offset, data, ciphertext))
        return false;
    std::memmove(data + whole, data + whole + cipher_.key_length, remainder() - whole);
    return true;
}

// What the file holds where a record goes, told by the record's two checksums.
InPlaceEncryption::Region InPlaceEncryption::region_state(const JournalRecord &r) {
    uint64_t size = 0;
    if (!s_.target->size(&size)) return Region::Unknown;
    // A tail record never written may reach past a file that was never grown: its old bytes
    // still tell.
    const uint64_t in_file = std::min(r.length, size - std::min(r.offset, size));
    if (in_file < r.length && keeps_sums(r)) return Region::Unknown;
    if (keeps_sums(r)) {
        // Plain as a whole, or ciphertext that decrypts to it: before or after by the kind.
        Checksum64 as_is, decrypted;
        uint8_t chain[CONTAINER_BLOCK_MAX];
        bool ok =
            chain_block(r.offset, chain) &&
            convmech_init(cipher_.algorithm, cipher_.decrypt_mode, &s_.context, s_.key, chain) == 0;
        for (uint64_t at = 0; ok && at < r.length;) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, r.length - at));
            ok = s_.source->seek(static_cast<int64_t>(r.offset + at), Origin::Begin) &&
                 platform::read_exact(*s_.source, piece(0), n);
            if (!ok) break;
            as_is.update(piece(0), n);
            ok = convmech_update(cipher_.algorithm, cipher_.decrypt_mode, &s_.context, piece(0),
                                 piece(0), n) == 0;
            decrypted.update(piece(0), n);
            at += n;
        }
        wipe_memory(&s_.context, sizeof s_.context);
        const bool plain = ok && as_is.value() == r.before_checksum;
        const bool ciphertext = ok && decrypted.value() == r.before_checksum;
        if (!plain && !ciphertext) return Region::Unknown;
        return plain == (r.kind == RecordKind::Data) ? Region::Untouched : Region::Written;
    }
    const uint64_t old_length =
        std::min<uint64_t>(r.length, header_.plain_size - std::min(r.offset, header_.plain_size));
    if (in_file < old_length) return Region::Unknown;
    Checksum64 before, after;
    for (uint64_t at = 0; at < in_file;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, in_file - at));
        if (!s_.source->seek(static_cast<int64_t>(r.offset + at), Origin::Begin) ||
            !platform::read_exact(*s_.source, piece(0), n))
            return Region::Unknown;
        if (at < old_length) before.update(piece(0), std::min<uint64_t>(n, old_length - at));
        after.update(piece(0), n);
        at += n;
    }
    if (before.value() == r.before_checksum) return Region::Untouched;
    if (in_file == r.length && after.value() == r.data_checksum) return Region::Written;
    return Region::Unknown;
}

// The record the file is to be taken up from, its bytes whole in the journal unless *written
// (then they are in the file already); *found false when the encryption had not written any.
// *before_found: the record before it is to be written again first (record_before).
// A newest record whose bytes are spoilt was either cut short by a crash before they were
// flushed, so the file never saw them and the record before it holds, or spoilt later, after
// they were written: the file tells which, or nothing is risked.
int InPlaceEncryption::newest_record(JournalRecord *newest, bool *found, bool *written,
                                     JournalRecord *before, bool *before_found) {
    *found = *written = *before_found = false;
    std::optional<JournalRecord> slots[2];
    if (!journal_.headers(slots)) return CRYPT_ERR_FILE;
    if (slots[0] && slots[1] && slots[0]->sequence > slots[1]->sequence)
        std::swap(slots[0], slots[1]);
    if (!slots[1]) std::swap(slots[0], slots[1]); // the newest in slots[1]
    for (const auto &record : slots)
        if (record && !plausible(*record)) return CRYPT_ERR_FORMAT;
    if (!slots[1]) return CRYPT_OK;
    bool whole = false;
    if (!journal_.verify(*slots[1], piece(0), piece_size_, &whole)) return CRYPT_ERR_FILE;
    if (whole) {
        *newest = *slots[1];
        *found = true;
        return record_before(slots[0], *newest, before, before_found);
    }
    switch (region_state(*slots[1])) {
    case Region::Written:
        *newest = *slots[1];
        *found = *written = true;
        return record_before(slots[0], *newest, before, before_found);
    case Region::Untouched:
        if (!slots[0]) return slots[1]->sequence == 0 ? CRYPT_OK : CRYPT_ERR_FORMAT;
        if (slots[0]->sequence + 1 != slots[1]->sequence ||
            !journal_.verify(*slots[0], piece(0), piece_size_, &whole) || !whole)
            return CRYPT_ERR_FORMAT;
        *newest = *slots[0];
        *found = true;
        return CRYPT_OK;
    case Region::Unknown:
        break;
    }
    return CRYPT_ERR_FORMAT;
}

// The record of whole chunks before the newest one, while its slot was not yet taken: its
// writes are flushed only while the newest is written. Once the next record's bytes go into its
// slot, it is on disk (a spoilt one is not needed). An older journal's is on disk too, and
// writing it again changes nothing.
int InPlaceEncryption::record_before(const std::optional<JournalRecord> &other,
                                     const JournalRecord &newest, JournalRecord *before,
                                     bool *found) {
    *found = false;
    if (!other || other->kind != RecordKind::Data || other->sequence + 1 != newest.sequence ||
        (newest.kind != RecordKind::Data && newest.kind != RecordKind::Final))
        return CRYPT_OK;
    bool whole = false;
    if (!journal_.verify(*other, piece(0), piece_size_, &whole)) return CRYPT_ERR_FILE;
    if (!whole) return CRYPT_OK;
    if (other->done != newest.offset) return CRYPT_ERR_FORMAT;
    *before = *other;
    *found = true;
    return CRYPT_OK;
}

int InPlaceEncryption::resume() {
    JournalRecord newest, before;
    bool found = false, written = false, before_found = false;
    const int result = newest_record(&newest, &found, &written, &before, &before_found);
    if (result != CRYPT_OK) return result;
    if (found && newest.kind == RecordKind::Done) {
        // The container was whole; only its name and the journal's deletion were left.
        if (!container_in_place()) return CRYPT_ERR_FORMAT;
        sequence_ = newest.sequence + 1;
        last_ = newest;
        done_ = newest.done;
        if (output_ == nullptr) return journal_.remove() ? CRYPT_OK : CRYPT_ERR_FILE;
        return take_name(true);
    }
    // The record before first: the newest's check reads its chaining block from it.
    if (before_found) {
        if (!belongs_here(&before, false)) return CRYPT_ERR_FORMAT;
        if (!put(before)) return CRYPT_ERR_FILE;
    }
    if (!belongs_here(found ? &newest : nullptr, written)) return CRYPT_ERR_FORMAT;
    if (found) {
        // The newest record may be only partly in the file: put it (again) before going on.
        sequence_ = newest.sequence + 1;
        last_ = newest;
        last_unput_ = !written;
    }
    if (!reserve()) return failed(CRYPT_ERR_DISK_FULL);
    if (found) {
        if (!written && !put(newest)) return failed(CRYPT_ERR_FILE);
        last_unput_ = false;
        done_ = newest.done;
    }
    // On disk before the journal's slots are used again.
    if (!flush_target()) return failed(CRYPT_ERR_FILE);
    if (!(found && newest.kind == RecordKind::Final) && !forward()) return failed(CRYPT_ERR_FILE);
    return complete();
}
