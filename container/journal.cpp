#include "container/journal.h"

#include "container/checksum.h"
#include "container/container.h"
#include "container/little_endian.h"
#include "crypto/convmech.h"
#include "crypto/wipe.h"

#include <algorithm>
#include <cstring>

namespace {

using platform::Origin;

constexpr uint8_t HEADER_MAGIC[8] = {'Q', 'X', 'V', 'J', 'R', 'N', 'L', 1};
constexpr uint32_t RECORD_MAGIC = 0x52565851; // "QXVR"
constexpr size_t HEADER_CHECKSUM_AT = JOURNAL_HEADER_SIZE - 8;
constexpr size_t RECORD_CHECKSUM_AT = JOURNAL_RECORD_HEADER - 8;

static_assert(sizeof JournalHeader{}.key_check == 16, "the header keeps 16 bytes of key check");

// Reads up to `count` bytes, stopping early only at the end of the file.
bool read_fully(platform::File &file, uint8_t *buffer, size_t count, size_t *got) {
    *got = 0;
    while (*got < count) {
        size_t done = 0;
        if (!file.read(buffer + *got, count - *got, &done)) return false;
        if (done == 0) break;
        *got += done;
    }
    return true;
}

void encode_header(const JournalHeader &h, uint8_t *out) {
    std::memset(out, 0, JOURNAL_HEADER_SIZE);
    std::memcpy(out, HEADER_MAGIC, sizeof HEADER_MAGIC);
    std::memcpy(out + 8, h.cipher_name, sizeof h.cipher_name);
    put_le64(out + 16, h.plain_size);
    put_le64(out + 24, h.times.creation);
    put_le64(out + 32, h.times.access);
    put_le64(out + 40, h.times.write);
    put_le32(out + 48, h.capacity);
    std::memcpy(out + 56, h.salt, sizeof h.salt);
    std::memcpy(out + 88, h.key_check, sizeof h.key_check);
    put_le64(out + HEADER_CHECKSUM_AT, checksum64(out, HEADER_CHECKSUM_AT));
}

bool decode_header(const uint8_t *in, JournalHeader *h) {
    if (std::memcmp(in, HEADER_MAGIC, sizeof HEADER_MAGIC) != 0 ||
        get_le64(in + HEADER_CHECKSUM_AT) != checksum64(in, HEADER_CHECKSUM_AT))
        return false;
    std::memcpy(h->cipher_name, in + 8, sizeof h->cipher_name);
    h->cipher_name[sizeof h->cipher_name - 1] = 0;
    h->plain_size = get_le64(in + 16);
    h->times.creation = get_le64(in + 24);
    h->times.access = get_le64(in + 32);
    h->times.write = get_le64(in + 40);
    h->capacity = get_le32(in + 48);
    std::memcpy(h->salt, in + 56, sizeof h->salt);
    std::memcpy(h->key_check, in + 88, sizeof h->key_check);
    return h->capacity > 0 && h->capacity <= JOURNAL_RECORD_MAX;
}

void encode_record(const JournalRecord &r, uint8_t *out) {
    std::memset(out, 0, JOURNAL_RECORD_HEADER);
    put_le32(out, RECORD_MAGIC);
    put_le32(out + 4, static_cast<uint32_t>(r.kind));
    put_le64(out + 8, r.sequence);
    put_le64(out + 16, r.offset);
    put_le64(out + 24, r.length);
    put_le64(out + 32, r.done);
    put_le64(out + 40, r.data_checksum);
    put_le64(out + 48, r.before_checksum);
    put_le64(out + 56, r.stored);
    put_le64(out + RECORD_CHECKSUM_AT, checksum64(out, RECORD_CHECKSUM_AT));
}

// The record, if the header is whole and plausible for its slot.
bool decode_record(const uint8_t *in, uint32_t capacity, int slot, JournalRecord *r) {
    if (get_le32(in) != RECORD_MAGIC ||
        get_le64(in + RECORD_CHECKSUM_AT) != checksum64(in, RECORD_CHECKSUM_AT))
        return false;
    const uint32_t kind = get_le32(in + 4);
    if (kind < 1 || kind > 4) return false;
    r->kind = static_cast<RecordKind>(kind);
    r->sequence = get_le64(in + 8);
    r->offset = get_le64(in + 16);
    r->length = get_le64(in + 24);
    r->done = get_le64(in + 32);
    r->data_checksum = get_le64(in + 40);
    r->before_checksum = get_le64(in + 48);
    r->stored = get_le64(in + 56);
    return r->stored <= capacity && r->sequence % 2 == static_cast<uint64_t>(slot);
}

} // namespace

namespace {

constexpr char JOURNAL_SUFFIX[] = ".qxvj";
constexpr char TEMPORARY_SUFFIX[] = ".qxvj.tmp";
// The largest journal written whole under the temporary name: a file without a whole chunk,
// its one record the tail (less than a chunk) with the key check and final blocks and the
// trailer, which all fit in a second chunk's room.
constexpr uint64_t ONE_RECORD_JOURNAL_MAX =
    JOURNAL_HEADER_SIZE + 2 * (2 * uint64_t{JOURNAL_RECORD_HEADER} + 2 * CONTAINER_CHUNK_SIZE);

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ends_with(const std::string &name, const std::string &suffix) {
    // A name that is only the suffix is a hidden file, not a journal beside a file.
    if (name.size() <= suffix.size()) return false;
    const size_t from = name.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i)
        if (lower(name[from + i]) != suffix[i]) return false;
    return true;
}

// Whether `bytes` (`got` of them, the file's start) can be what a run that died while writing
// a journal's header left under the temporary name: nothing, zeros, or the header's start.
bool unwritten_header(const uint8_t *bytes, size_t got) {
    bool zero = true;
    for (size_t i = 0; i < got; ++i)
        zero = zero && bytes[i] == 0;
    return zero || std::memcmp(bytes, HEADER_MAGIC, std::min(got, sizeof HEADER_MAGIC)) == 0;
}

// Removes the temporary file of a journal that never took its name, if it is ours: no larger
// than a journal of one record written with its header, and starting like a header (whole, or
// as a crash left it: cut short or not yet written). True when the name is free afterwards.
bool remove_stale_temporary(const std::string &temporary) {
    auto &fs = platform::file_system();
    if (fs.name_kind(temporary) == platform::NameKind::Free) return true;
    auto file = fs.open(temporary, platform::Access::Read, platform::Share::ReadWriteDelete,
                        platform::Disposition::OpenExisting);
    uint64_t size = 0;
    uint8_t bytes[JOURNAL_HEADER_SIZE];
    size_t got = 0;
    const auto identity = file ? platform::identity_of(*file) : std::nullopt;
    if (!identity || !file->size(&size) || size > ONE_RECORD_JOURNAL_MAX ||
        !read_fully(*file, bytes, sizeof bytes, &got))
        return false;
    if (!unwritten_header(bytes, got)) return false;
    file.reset();
    return fs.remove_file_if_same(temporary, *identity);
}

} // namespace

std::string journal_path(const std::string &path) {
    return path + JOURNAL_SUFFIX;
}

std::string journal_temporary_path(const std::string &path) {
    return path + TEMPORARY_SUFFIX;
}

bool journal_name(const std::string &name) {
    return ends_with(name, JOURNAL_SUFFIX) || ends_with(name, TEMPORARY_SUFFIX);
}

bool journal_key_check(const CipherChoice &cipher, const uint8_t *key,
                       uint8_t out[CONTAINER_KEY_MAX]) {
    static const uint8_t zero_iv[CONTAINER_BLOCK_MAX] = {};
    std::memset(out, 0, CONTAINER_KEY_MAX);
    uint32_t length = cipher.key_length;
    return convmech_buffer(cipher.algorithm, cipher.encrypt_mode, 0, key, zero_iv, key, out,
                           &length) == 0 &&
           length == cipher.key_length;
}

uint64_t Journal::slot_offset(uint64_t sequence) const {
    return JOURNAL_HEADER_SIZE + (sequence % 2) * (2 * uint64_t{JOURNAL_RECORD_HEADER} + capacity_);
}

uint64_t Journal::copy_offset(uint64_t sequence) const {
    return slot_offset(sequence) + JOURNAL_RECORD_HEADER + capacity_;
}

bool Journal::create(const std::string &path, const JournalHeader &header) {
    return begin(path, header) && publish();
}

bool Journal::begin(const std::string &path, const JournalHeader &header) {
    auto &fs = platform::file_system();
    // `path` is "<file>.qxvj"; the temporary name sits beside it.
    const std::string temporary = path + (TEMPORARY_SUFFIX + sizeof JOURNAL_SUFFIX - 1);
    if (fs.name_kind(path) != platform::NameKind::Free || !remove_stale_temporary(temporary))
        return false;
    file_ = fs.open(temporary, platform::Access::ReadWrite, platform::Share::None,
                    platform::Disposition::CreateNew);
    if (!file_) return false;
    path_ = temporary;
    published_ = path;
    identity_ = platform::identity_of(*file_);
    capacity_ = header.capacity;
    uint8_t bytes[JOURNAL_HEADER_SIZE];
    encode_header(header, bytes);
    if (identity_ && platform::write_exact(*file_, bytes, sizeof bytes)) return true;
    remove(); // never complete, so never needed
    return false;
}

bool Journal::publish() {
    auto &fs = platform::file_system();
    const std::string temporary = path_, path = published_;
    bool ok = file_ && file_->flush();
    // Where the system cannot rename a file open unshared, it is closed for the rename and
    // opened again (and must still be the same file).
    const bool stays_open = fs.renames_open_files();
    if (!stays_open) file_.reset();
    ok = ok && fs.rename_no_replace_if_same(temporary, path, *identity_);
    if (!ok) {
        remove(); // never complete, so never needed
        return false;
    }
    published_.clear();
    path_ = path;
    if (!stays_open)
        file_ = fs.open(path, platform::Access::ReadWrite, platform::Share::None,
                        platform::Disposition::OpenExisting);
    if (file_ && (stays_open || platform::identity_of(*file_) == identity_) &&
        fs.sync_folder(platform::folder_of(path)))
        return true;
    remove();
    return false;
}

bool Journal::reserve() {
    const uint64_t size = copy_offset(1) + JOURNAL_RECORD_HEADER;
    return file_ && file_->seek(static_cast<int64_t>(size), Origin::Begin) && file_->set_end();
}

Journal::Found Journal::open(const std::string &path, JournalHeader *header) {
    auto &fs = platform::file_system();
    if (!fs.exists(path)) return Found::None;
    file_ = fs.open(path, platform::Access::ReadWrite, platform::Share::None,
                    platform::Disposition::OpenExisting);
    if (!file_) return Found::Error;
    path_ = path;
    identity_ = platform::identity_of(*file_);
    uint8_t bytes[JOURNAL_HEADER_SIZE];
    size_t got = 0;
    if (!read_fully(*file_, bytes, sizeof bytes, &got)) return Found::Error;
    // A journal takes its name only with its header whole on disk: a file that does not even
    // start like one is somebody else's.
    if (got < sizeof HEADER_MAGIC || std::memcmp(bytes, HEADER_MAGIC, sizeof HEADER_MAGIC) != 0) {
        file_.reset();
        return Found::Foreign;
    }
    if (got < sizeof bytes || !decode_header(bytes, header)) return Found::Spoilt;
    capacity_ = header->capacity;
    return Found::Whole;
}

bool Journal::write_bytes(const JournalRecord &record, uint64_t at, const uint8_t *data,
                          size_t length) {
    return file_ && at + length <= capacity_ &&
           file_->seek(
               static_cast<int64_t>(slot_offset(record.sequence) + JOURNAL_RECORD_HEADER + at),
               Origin::Begin) &&
           platform::write_exact(*file_, data, length);
}

bool Journal::read_bytes(const JournalRecord &record, uint64_t at, uint8_t *data, size_t length) {
    size_t got = 0;
    return file_ && at + length <= capacity_ &&
           file_->seek(
               static_cast<int64_t>(slot_offset(record.sequence) + JOURNAL_RECORD_HEADER + at),
               Origin::Begin) &&
           read_fully(*file_, data, length, &got) && got == length;
}

bool Journal::seal(const JournalRecord &record) {
    // A record sealed before the journal has its name goes to disk with the header.
    return write_seal(record) && (published_.empty() ? flush() : publish());
}

bool Journal::write_seal(const JournalRecord &record) {
    uint8_t header[JOURNAL_RECORD_HEADER];
    encode_record(record, header);
    return file_ && record.stored <= capacity_ &&
           file_->seek(static_cast<int64_t>(slot_offset(record.sequence)), Origin::Begin) &&
           platform::write_exact(*file_, header, sizeof header) &&
           file_->seek(static_cast<int64_t>(copy_offset(record.sequence)), Origin::Begin) &&
           platform::write_exact(*file_, header, sizeof header);
}

bool Journal::flush() {
    return file_ && file_->flush();
}

bool Journal::headers(std::optional<JournalRecord> slots[2]) {
    if (!file_) return false;
    for (int slot = 0; slot < 2; ++slot) {
        slots[slot].reset();
        for (const uint64_t at : {slot_offset(slot), copy_offset(slot)}) {
            uint8_t bytes[JOURNAL_RECORD_HEADER];
            size_t got = 0;
            JournalRecord record;
            if (!file_->seek(static_cast<int64_t>(at), Origin::Begin) ||
                !read_fully(*file_, bytes, sizeof bytes, &got))
                return false;
            // Of two copies that differ, a crash cut the newer one's writing short.
            if (got == sizeof bytes && decode_record(bytes, capacity_, slot, &record) &&
                (!slots[slot] || record.sequence > slots[slot]->sequence))
                slots[slot] = record;
        }
    }
    return true;
}

bool Journal::verify(const JournalRecord &record, uint8_t *scratch, size_t scratch_size,
                     bool *whole) {
    *whole = false;
    Checksum64 sum;
    for (uint64_t at = 0; at < record.stored;) {
        const auto piece =
            static_cast<size_t>(std::min<uint64_t>(scratch_size, record.stored - at));
        size_t got = 0;
        if (!file_ ||
            !file_->seek(
                static_cast<int64_t>(slot_offset(record.sequence) + JOURNAL_RECORD_HEADER + at),
                Origin::Begin) ||
            !read_fully(*file_, scratch, piece, &got))
            return false;
        if (got < piece) return true; // the journal ends inside the record
        sum.update(scratch, piece);
        at += piece;
    }
    *whole = sum.value() == record.data_checksum;
    return true;
}

bool Journal::remove() {
    if (path_.empty()) return true; // removed already
    file_.reset();
    auto &fs = platform::file_system();
    // Only the journal this object opened, not a file that took its name meanwhile.
    const bool removed =
        identity_ ? fs.remove_file_if_same(path_, *identity_) : fs.remove_file(path_);
    if (!removed) {
        // Still there, so still in use: keep it open for whatever undoes the work.
        file_ = fs.open(path_, platform::Access::ReadWrite, platform::Share::None,
                        platform::Disposition::OpenExisting);
        if (file_ && identity_ && platform::identity_of(*file_) != identity_) file_.reset();
        return false;
    }
    // Gone, though perhaps not yet on disk: should a crash bring it back, its newest record
    // describes the file as it is, and finishing again rewrites the same bytes.
    fs.sync_folder(platform::folder_of(path_));
    path_.clear();
    return true;
}

bool journal_unfinished(const std::string &path, uint64_t file_size) {
    auto &fs = platform::file_system();
    const std::string name = journal_path(path);
    if (fs.name_kind(name) == platform::NameKind::Free) return false;
    auto file = fs.open(name, platform::Access::Read, platform::Share::ReadWrite,
                        platform::Disposition::OpenExisting);
    // A journal open unshared (an encryption under way) is not ours to judge: unfinished.
    if (!file) return true;
    uint8_t bytes[JOURNAL_HEADER_SIZE];
    size_t got = 0;
    if (!read_fully(*file, bytes, sizeof bytes, &got)) return true;
    if (got < sizeof HEADER_MAGIC || std::memcmp(bytes, HEADER_MAGIC, sizeof HEADER_MAGIC) != 0)
        return false;
    JournalHeader header;
    if (got < sizeof bytes || !decode_header(bytes, &header)) return true;
    // The newest record, read as the engine reads it; only a Done record can end the matter.
    Journal journal;
    journal.file_ = std::move(file);
    journal.capacity_ = header.capacity;
    std::optional<JournalRecord> slots[2];
    if (!journal.headers(slots)) return true;
    const JournalRecord *newest = nullptr;
    for (const auto &slot : slots)
        if (slot && (!newest || slot->sequence > newest->sequence)) newest = &*slot;
    return !newest || newest->kind != RecordKind::Done || newest->done == file_size;
}
