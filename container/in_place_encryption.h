// One in-place encryption of a file under its journal, fresh or taken up again after an
// interruption: the engine's part of container_encrypt.
#pragma once

#include "container/checksum.h"
#include "container/cipher_choice.h"
#include "container/cipher_lane.h"
#include "container/crypt_session.h"
#include "container/flush_lane.h"
#include "container/journal.h"

#include <memory>
#include <optional>
#include <string>

struct EncryptOutput;

// Size the file is grown to before the first overwrite.
uint64_t reserved_size(const CipherChoice &cipher, uint64_t plain_size);
// A file this large has records of whole chunks of JOURNAL_LONG_RECORD bytes, not
// JOURNAL_RECORD_MAX: a quarter of the flushes of file and journal, the sums still small.
constexpr uint64_t JOURNAL_LONG_RECORD = 32u << 20;
constexpr uint64_t JOURNAL_LONG_RECORDS_FROM = 4 * JOURNAL_LONG_RECORD;

// Room a record of the encryption of a file of `plain_size` bytes needs in the journal: the
// sums of a run of up to `run` bytes of whole chunks (by default the run this version writes),
// or the tail with the key check block, final block and trailer.
uint32_t record_capacity(const CipherChoice &cipher, uint64_t plain_size, uint64_t run = 0);
// The longest run of whole chunks a journal of `capacity` bytes a record keeps: what its
// writer chose, known again from the journal alone.
uint64_t record_run(uint32_t capacity);

// Records pass between file, cipher and journal in pieces of this size, so memory stays small
// whatever the record size; a few pieces make the session's work area (work_size).
constexpr uint32_t JOURNAL_PIECE_SIZE = 256 * 1024;
// Records of whole chunks keep only a checksum of each sector of their plain bytes: a write cut
// short by a kill or a power cut leaves each sector old or new, and the sums tell which.
constexpr uint32_t JOURNAL_SECTOR_SIZE = 512;
constexpr uint32_t JOURNAL_SUM_SIZE = 8;
// A file without a whole chunk has one record, its tail: pieces that hold any record it could
// have keep the work area (allocated and wiped for every file) small for small files.
uint32_t work_piece_size(const CipherChoice &cipher, uint64_t plain_size);
// The work area: three such pieces, and a fourth where records have several pieces.
size_t work_size(const CipherChoice &cipher, uint64_t plain_size);
inline bool wide_work(uint64_t plain_size) {
    return plain_size > JOURNAL_PIECE_SIZE;
}

// The key is in the session.
class InPlaceEncryption {
public:
    InPlaceEncryption(CryptSession &s, const CipherChoice &cipher, const JournalHeader &header,
                      Journal &journal)
        : s_(s), cipher_(cipher), header_(header), journal_(journal),
          chunked_end_(header.plain_size / CONTAINER_CHUNK_SIZE * CONTAINER_CHUNK_SIZE),
          reserved_(reserved_size(cipher, header.plain_size)), run_(record_run(header.capacity)),
          piece_size_(work_piece_size(cipher, header.plain_size)),
          wide_(wide_work(header.plain_size)), flusher_(platform::file_system().concurrent()) {}

    // Once whole, the container is to take `output->name` (none: it stays at `path`).
    void rename_to(const char *path, const EncryptOutput *output) {
        path_ = path;
        output_ = output;
    }
    // Creates the journal at `journal_name` (see Journal::begin), then encrypts.
    int run_fresh(const std::string &journal_name);
    int resume();

private:
    uint8_t *piece(int i) { return s_.work.get() + size_t{piece_size_} * i; }
    uint32_t remainder() const { return static_cast<uint32_t>(header_.plain_size - chunked_end_); }
    bool reserve();
    bool forward();
    bool stream_record(RecordKind kind, uint64_t offset, uint64_t length, uint64_t done);
    struct RecordSums { // a record of whole chunks being journaled, piece by piece
        JournalRecord record;
        uint64_t at = 0; // bytes of its region summed
        Checksum64 plain, stored;
    };
    void begin_sums(RecordKind kind, uint64_t offset, uint64_t length, uint64_t done,
                    uint64_t sequence, RecordSums *sums);
    bool take_sums(RecordSums &sums, bool decrypt, uint8_t *data, uint8_t *sector_sums);
    bool sum_piece(RecordSums &sums, bool decrypt, uint8_t *data, uint8_t *sector_sums);
    void begin_ahead(uint64_t offset, uint64_t sequence);
    bool step_ahead(bool at_boundary);
    bool store_ahead();
    void give_file_flush();
    bool flushed_beside();
    // A record's slot is free once the record two before it, which had it, is on disk.
    bool slot_free(uint64_t sequence) const { return sequence <= durable_below_ + 1; }
    static JournalRecord finished(const RecordSums &sums);
    bool tail_record();
    bool journal_tail(JournalRecord *record);
    bool tail_undo_record();
    bool seal_tail(uint8_t *tail, uint64_t *length);
    uint64_t container_size() const;
    bool commit(JournalRecord record);
    bool put(const JournalRecord &record);
    bool flush_target();
    bool keeps_sums(const JournalRecord &record) const {
        return record.offset < chunked_end_; // data records and their undo records
    }
    bool mend(const JournalRecord &record, bool check_only);
    bool mend_piece(const JournalRecord &record, uint8_t *data, uint32_t sectors, uint8_t *chain);
    bool matches_sum(const uint8_t *data, uint32_t sector);
    bool write_piece(const uint8_t *data, uint64_t offset, uint32_t length);
    struct Encrypted { // a piece on the cipher lane
        uint8_t *data = nullptr;
        uint64_t offset = 0;
        uint32_t length = 0;
    };
    bool chain_block(uint64_t offset, uint8_t *block);
    bool crypt(uint32_t mode, uint64_t offset, uint8_t *data, uint64_t length);
    bool tail_before_image(const JournalRecord &record, uint8_t *data);
    bool plausible(const JournalRecord &record) const;
    enum class Region { Untouched, Written, Unknown };
    Region region_state(const JournalRecord &record);
    int newest_record(JournalRecord *newest, bool *found, bool *written, JournalRecord *before,
                      bool *before_found);
    int record_before(const std::optional<JournalRecord> &other, const JournalRecord &newest,
                      JournalRecord *before, bool *found);
    bool belongs_here(const JournalRecord *newest, bool written);
    bool finish();
    int complete();
    int take_name(bool sealed);
    bool reopen();
    bool container_in_place();
    bool take_back();
    int failed(int result) {
        take_back();
        return stopped_ ? CRYPT_STOPPED : result;
    }

    CryptSession &s_;
    const CipherChoice &cipher_;
    const JournalHeader &header_;
    Journal &journal_;
    const uint64_t chunked_end_; // the whole chunks of the plain file end here
    const uint64_t reserved_;
    const uint64_t run_; // longest record of whole chunks
    const uint32_t piece_size_;
    const bool wide_;   // six pieces: the cipher lane, and the next record's sums beside it
    uint64_t done_ = 0; // below it the file is ciphertext
    uint64_t sequence_ = 0;
    JournalRecord last_;      // newest record in the journal
    bool last_unput_ = false; // journaled, but perhaps not (wholly) in the file
    bool unflushed_ = false;  // the file has writes not yet flushed
    bool stopped_ = false;    // the caller's progress asked to stop
    const char *path_ = nullptr;
    const EncryptOutput *output_ = nullptr;
    // Records ahead of the one being put (forward): the next one sealed, its flush given to
    // the flusher, and the one after it summed into memory meanwhile.
    bool pipelined_ = false; // mend takes steps ahead between the cipher lane's pieces
    JournalRecord next_;
    bool next_sealed_ = false;
    RecordSums ahead_;
    bool ahead_begun_ = false;
    std::unique_ptr<uint8_t[]> ahead_sums_;
    uint64_t durable_below_ = 0; // every record of a lower sequence is on disk in the file
    bool file_flush_given_ = false;
    uint64_t file_flush_covers_ = 0; // records below this sequence, once it is made
    FlushLane flusher_;
    CipherLane lane_; // last: ends before anything it works on
};
