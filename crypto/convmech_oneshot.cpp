// The one-shot forms of the cipher mechanism layer: init, one pass over the bulk, final over
// the tail, for a buffer or for two open byte streams.
#include "crypto/convmech.h"
#include "crypto/convmech_internal.h"

#include "crypto/errors.h"
#include "crypto/pad.h"
#include "crypto/wipe.h"

#include <cstring>

int convmech_split(uint32_t algorithm, uint32_t mode, uint32_t padding, uint32_t block_size,
                   uint64_t length, ConvmechSplit *split) {
    const uint64_t rest = length % block_size;
    *split = ConvmechSplit{rest, false, false};
    // An unknown padding id is refused before anything is processed.
    if (padding != PAD_NONE && !pad_known(padding) &&
        (mode <= CONVMECH_CBC_DECRYPT || mode == CONVMECH_CBC_MAC || mode >= CONVMECH_ECB_ENCRYPT))
        return ERR_INVALID_PARAMETER;
    switch (mode) {
    case CONVMECH_CBC_ENCRYPT:
    case CONVMECH_ECB_ENCRYPT:
        return padding == PAD_NONE && rest != 0 ? ERR_INVALID_PARAMETER : 0;
    case CONVMECH_CBC_DECRYPT:
    case CONVMECH_ECB_DECRYPT:
        if (rest != 0 || (padding != PAD_NONE && length == 0)) return ERR_INVALID_PARAMETER;
        split->tail = padding != PAD_NONE ? block_size : 0; // the last block is unpadded
        return 0;
    case CONVMECH_CFB_ENCRYPT:
    case CONVMECH_CFB_DECRYPT:
        return 0;
    case CONVMECH_CFB8_ENCRYPT:
    case CONVMECH_CFB8_DECRYPT:
    case CONVMECH_OFB8:
        split->tail = 0;
        split->stream_mode = true;
        return 0;
    case CONVMECH_CBC_MAC:
        split->mac = true;
        return padding == PAD_NONE ? ERR_INVALID_PARAMETER : 0;
    case CONVMECH_X919_MAC:
    case CONVMECH_DES_MAC:
        split->mac = true;
        return algorithm == CONVMECH_DES && padding == PAD_ZEROS ? 0 : ERR_INVALID_PARAMETER;
    case CONVMECH_LENGTH_MAC:
        split->mac = true;
        return algorithm <= CONVMECH_DES3_2KEY ? 0 : ERR_INVALID_PARAMETER;
    default:
        return ERR_INVALID_PARAMETER;
    }
}

int convmech_buffer(uint32_t algorithm, uint32_t mode, uint32_t padding, const uint8_t *key,
                    const uint8_t *iv, const uint8_t *in, uint8_t *out, uint32_t *length) {
    if (length == nullptr || (*length > 0 && in == nullptr) || out == nullptr)
        return ERR_INVALID_PARAMETER;
    ConvContext context;
    int status = convmech_init(algorithm, mode, &context, key, iv);
    if (status != 0) return status;
    ConvmechSplit split;
    status = convmech_split(algorithm, mode, padding, context.block_size, *length, &split);
    const uint32_t tail = uint32_t(split.tail);
    const uint32_t bulk = *length - tail;
    if (status == 0 && bulk > 0) status = convmech_update(algorithm, mode, &context, in, out, bulk);
    uint32_t final_length = tail;
    if (status == 0)
        status = convmech_final(algorithm, mode, &context, padding, in + bulk,
                                split.mac ? out : out + bulk, &final_length);
    if (status == 0 && !split.stream_mode) *length = split.mac ? final_length : bulk + final_length;
    wipe_memory(&context, sizeof context);
    return status;
}

namespace {

// Bytes moved per read in the stream form: a multiple of both block sizes.
constexpr uint32_t STREAM_CHUNK = 4096;

#ifdef _WIN32
int stream_seek(std::FILE *f, int64_t offset, int whence) {
    return _fseeki64(f, offset, whence);
}
int64_t stream_tell(std::FILE *f) {
    return _ftelli64(f);
}
#else
int stream_seek(std::FILE *f, int64_t offset, int whence) {
    return fseeko(f, offset, whence);
}
int64_t stream_tell(std::FILE *f) {
    return ftello(f);
}
#endif

// Bytes from the stream's position to its end; the position is kept. -1 when unseekable.
int64_t stream_remaining(std::FILE *f) {
    const int64_t start = stream_tell(f);
    if (start < 0 || stream_seek(f, 0, SEEK_END) != 0) return -1;
    const int64_t end = stream_tell(f);
    if (stream_seek(f, start, SEEK_SET) != 0 || end < start) return -1;
    return end - start;
}

bool read_exact(std::FILE *f, uint8_t *p, size_t n) {
    return std::fread(p, 1, n, f) == n;
}
bool write_exact(std::FILE *f, const uint8_t *p, size_t n) {
    return n == 0 || std::fwrite(p, 1, n, f) == n;
}

} // namespace

int convmech_file(uint32_t algorithm, uint32_t mode, uint32_t padding, const uint8_t *key,
                  const uint8_t *iv, std::FILE *in, std::FILE *out) {
    if (in == nullptr || out == nullptr) return ERR_INVALID_PARAMETER;
    if ((mode == CONVMECH_CBC_DECRYPT || mode == CONVMECH_ECB_DECRYPT) && padding == PAD_NONE)
        return ERR_INVALID_PARAMETER;
    ConvContext context;
    int status = convmech_init(algorithm, mode, &context, key, iv);
    if (status != 0) return status;
    const int64_t length = stream_remaining(in);
    ConvmechSplit split{};
    if (length < 0)
        status = ERR_FILE_IO;
    else
        status =
            convmech_split(algorithm, mode, padding, context.block_size, uint64_t(length), &split);

    uint8_t buffer[STREAM_CHUNK];
    uint64_t bulk = status == 0 ? uint64_t(length) - split.tail : 0;
    while (status == 0 && bulk > 0) {
        const uint32_t n = bulk < STREAM_CHUNK ? uint32_t(bulk) : STREAM_CHUNK;
        if (!read_exact(in, buffer, n)) {
            status = ERR_FILE_IO;
            break;
        }
        status = convmech_update(algorithm, mode, &context, buffer, buffer, n);
        if (status == 0 && !split.mac && !write_exact(out, buffer, n)) status = ERR_FILE_IO;
        bulk -= n;
    }
    if (status == 0) {
        uint32_t final_length = uint32_t(split.tail);
        if (!read_exact(in, buffer, final_length)) status = ERR_FILE_IO;
        if (status == 0)
            status =
                convmech_final(algorithm, mode, &context, padding, buffer, buffer, &final_length);
        if (status == 0 && !write_exact(out, buffer, final_length)) status = ERR_FILE_IO;
    }
    wipe_memory(buffer, sizeof buffer);
    wipe_memory(&context, sizeof context);
    return status;
}
