// Taking up an encryption that was cut short: the newest whole record of the journal is checked
// against the file, written again, and the encryption goes on from where it says.
#include "container/in_place_encryption.h"

#include "container/checksum.h"
#include "crypto/wipe.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

using platform::Origin;

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

// Whether the file is still the one the journal describes: its size is one the encryption gives
// it, and where the newest record goes it holds that record or what was there before it.
bool InPlaceEncryption::belongs_here(const JournalRecord *newest, bool written) {
    uint64_t size = 0;
    if (!s_.target->size(&size)) return false;
    // Plain, grown by the reserve, or cut to the whole container (before a failure was taken
    // back, or before the journal was deleted).
    if (size != header_.plain_size && size != reserved_ && size != container_size()) return false;
    if (newest == nullptr || newest->length == 0 || written) return true;

    // What the region held before the record was written: the plain bytes under a data or
    // final record, the ciphertext or the final record under an undo record.
    const JournalRecord &r = *newest;
    std::unique_ptr<uint8_t[]> before(new (std::nothrow) uint8_t[header_.capacity]);
    if (!before) return false;
    std::memcpy(before.get(), bytes(), r.length);
    bool ok = true;
    uint64_t sealed = 0;
    if (r.kind == RecordKind::Undo && r.offset == chunked_end_) {
        ok = seal_tail(before.get(), &sealed); // the tail was the final record
    } else if (r.kind == RecordKind::Undo) {
        ok = crypt(CONVMECH_CBC_ENCRYPT, r.offset, before.get(), r.length);
    } else if (r.kind == RecordKind::Data) {
        ok = crypt(CONVMECH_CBC_DECRYPT, r.offset, before.get(), r.length);
    } else {
        const uint32_t whole = remainder() / cipher_.block_size * cipher_.block_size;
        const uint32_t ciphertext = whole + cipher_.key_length + cipher_.block_size;
        ok = r.length >= ciphertext &&
             crypt(CONVMECH_CBC_DECRYPT, r.offset, before.get(), ciphertext);
        std::memmove(before.get() + whole, before.get() + whole + cipher_.key_length,
                     remainder() - whole);
    }

    // Each byte of the file there is either the record's (written) or the old one (not yet): a
    // write cut short leaves some of each, never anything else.
    const uint64_t end = std::min<uint64_t>(r.offset + r.length, size);
    const uint64_t old_end = std::min<uint64_t>(end, header_.plain_size); // beyond: anything
    for (uint64_t at = r.offset; ok && at < end;) {
        const auto piece = static_cast<uint32_t>(std::min<uint64_t>(sizeof s_.in, end - at));
        ok = s_.source->seek(static_cast<int64_t>(at), Origin::Begin) &&
             platform::read_exact(*s_.source, s_.in, piece);
        for (uint32_t i = 0; ok && i < piece; ++i) {
            const uint64_t index = at + i - r.offset;
            ok = at + i >= old_end || s_.in[i] == bytes()[index] || s_.in[i] == before[index];
        }
        at += piece;
    }
    wipe_memory(before.get(), header_.capacity);
    return ok;
}

// What the file holds where a record goes, told by the record's two checksums.
InPlaceEncryption::Region InPlaceEncryption::region_state(const JournalRecord &r) {
    std::unique_ptr<uint8_t[]> region(new (std::nothrow) uint8_t[header_.capacity]);
    uint64_t size = 0;
    if (!region || !s_.target->size(&size) || r.offset + r.length > size ||
        !s_.source->seek(static_cast<int64_t>(r.offset), Origin::Begin) ||
        !platform::read_exact(*s_.source, region.get(), r.length))
        return Region::Unknown;
    const uint64_t old_length =
        std::min<uint64_t>(r.length, header_.plain_size - std::min(r.offset, header_.plain_size));
    Region state = Region::Unknown;
    if (checksum64(region.get(), old_length) == r.before_checksum)
        state = Region::Untouched;
    else if (checksum64(region.get(), r.length) == r.data_checksum)
        state = Region::Written;
    wipe_memory(region.get(), header_.capacity);
    return state;
}

// The record the file is to be taken up from, its bytes in the record buffer unless *written
// (then they are in the file already); *found false when the encryption had not written any.
// A newest record whose bytes are spoilt was either cut short by a crash before they were
// flushed, so the file never saw them and the record before it holds, or spoilt later, after
// they were written: the file tells which, or nothing is risked.
int InPlaceEncryption::newest_record(JournalRecord *newest, bool *found, bool *written) {
    *found = *written = false;
    std::optional<JournalRecord> slots[2];
    if (!journal_.headers(slots)) return CRYPT_ERR_FILE;
    if (slots[0] && slots[1] && slots[0]->sequence > slots[1]->sequence)
        std::swap(slots[0], slots[1]);
    if (!slots[1]) std::swap(slots[0], slots[1]); // the newest in slots[1]
    for (const auto &record : slots)
        if (record && !plausible(*record)) return CRYPT_ERR_FORMAT;
    if (!slots[1]) return CRYPT_OK;
    bool whole = false;
    if (!journal_.load(*slots[1], s_.record.get(), &whole)) return CRYPT_ERR_FILE;
    if (whole) {
        *newest = *slots[1];
        *found = true;
        return CRYPT_OK;
    }
    switch (region_state(*slots[1])) {
    case Region::Written:
        *newest = *slots[1];
        *found = *written = true;
        return CRYPT_OK;
    case Region::Untouched:
        if (!slots[0]) return slots[1]->sequence == 0 ? CRYPT_OK : CRYPT_ERR_FORMAT;
        if (slots[0]->sequence + 1 != slots[1]->sequence ||
            !journal_.load(*slots[0], s_.record.get(), &whole) || !whole)
            return CRYPT_ERR_FORMAT;
        *newest = *slots[0];
        *found = true;
        return CRYPT_OK;
    case Region::Unknown:
        break;
    }
    return CRYPT_ERR_FORMAT;
}

int InPlaceEncryption::resume() {
    JournalRecord newest;
    bool found = false, written = false;
    const int result = newest_record(&newest, &found, &written);
    if (result != CRYPT_OK) return result;
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
    if (!(found && newest.kind == RecordKind::Final) && !forward()) return failed(CRYPT_ERR_FILE);
    if (!finish()) return failed(CRYPT_ERR_FILE);
    return CRYPT_OK;
}
