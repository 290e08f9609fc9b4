// hashmech_hash_file: the one-shot hash over an open byte stream, from its current position to
// its end.
#include "crypto/errors.h"
#include "crypto/hashmech.h"
#include "crypto/wipe.h"

#include <cstring>

namespace {

// 64-bit positions: the C library's long is 32 bits on Windows.
int64_t stream_tell(std::FILE *stream) {
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return ftello(stream);
#endif
}

int stream_seek(std::FILE *stream, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(stream, offset, whence);
#else
    return fseeko(stream, offset, whence);
#endif
}

// Bytes from the current position to the end, found by seeking to the end and back; -1 when
// the stream cannot seek.
int64_t remaining_length(std::FILE *stream) {
    int64_t start = stream_tell(stream);
    if (start < 0 || stream_seek(stream, 0, SEEK_END) != 0) return -1;
    int64_t end = stream_tell(stream);
    if (stream_seek(stream, start, SEEK_SET) != 0) return -1;
    return end < start ? -1 : end - start;
}

} // namespace

int hashmech_hash_file(uint32_t algorithm, uint32_t padding, std::FILE *stream, uint8_t *digest) {
    HashContext context;
    int rc = hashmech_init(algorithm, nullptr, &context);
    if (rc != 0) return rc;
    if (stream == nullptr || digest == nullptr) return ERR_INVALID_PARAMETER;

    int64_t left = remaining_length(stream);
    if (left < 0) return ERR_FILE_IO;

    // Whole blocks go to update; the tail (less than a block) to final. The chunk is a multiple
    // of every block size.
    const uint32_t block = hashmech_block_size(algorithm);
    uint8_t chunk[8192];
    int64_t bulk = left - left % block;
    while (rc == 0 && bulk > 0) {
        size_t want = bulk < int64_t(sizeof chunk) ? size_t(bulk) : sizeof chunk;
        if (std::fread(chunk, 1, want, stream) != want) {
            rc = ERR_FILE_IO;
            break;
        }
        rc = hashmech_update(algorithm, &context, chunk, uint32_t(want));
        bulk -= int64_t(want);
    }
    if (rc == 0) {
        size_t tail = size_t(left % block);
        if (std::fread(chunk, 1, tail, stream) != tail) {
            rc = ERR_FILE_IO;
        } else {
            rc = hashmech_final(algorithm, &context, padding, chunk, uint32_t(tail), digest);
        }
    }
    wipe_memory(chunk, sizeof chunk);
    wipe_memory(&context, sizeof context);
    return rc;
}
