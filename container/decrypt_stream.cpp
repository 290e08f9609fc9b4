#include "container/decrypt_stream.h"

#include "crypto/wipe.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// The CBC initialisation vector of every container: zero bytes.
constexpr uint8_t ZERO_IV[CONTAINER_BLOCK_MAX] = {};
constexpr uint64_t STREAM_RUN = 8 * CONTAINER_CHUNK_SIZE;
constexpr uint64_t REPORT_RUN = 1u << 20; // a multiple of both runs
constexpr uint64_t WRITE_BACK_RUN = 2u << 20;

bool seek_to(platform::File &file, uint64_t offset) {
    return file.seek(static_cast<int64_t>(offset), platform::Origin::Begin);
}

bool same_bytes(const uint8_t *a, const uint8_t *b, size_t count) {
    uint8_t difference = 0;
    for (size_t i = 0; i < count; ++i)
        difference |= a[i] ^ b[i];
    return difference == 0;
}

} // namespace

ContainerKey::~ContainerKey() {
    wipe_memory(bytes, sizeof bytes);
}

DecryptStream::~DecryptStream() {
    wipe_memory(&context_, sizeof context_);
    wipe_memory(in_, sizeof in_);
    wipe_memory(out_, sizeof out_);
}

StreamResult DecryptStream::check_key(platform::File &input, bool with_final) {
    const uint32_t block = cipher_.block_size;
    const uint64_t whole = trailer_.plain_size / block * block;
    uint8_t chain[CONTAINER_BLOCK_MAX] = {};
    if (!seek_to(input, trailer_.start + (whole != 0 ? whole - block : 0)) ||
        (whole != 0 && !platform::read_exact(input, chain, block)))
        return StreamResult::ReadFailed;
    if (convmech_init(cipher_.algorithm, cipher_.decrypt_mode, &context_, key_, chain) != 0)
        return StreamResult::CipherFailed;
    uint32_t tail_length = 0;
    return finish(input, with_final, &tail_length);
}

StreamResult DecryptStream::run(platform::File &input, platform::File &output,
                                CryptProgress *progress) {
    if (!seek_to(input, trailer_.start)) return StreamResult::ReadFailed;
    if (convmech_init(cipher_.algorithm, cipher_.decrypt_mode, &context_, key_, ZERO_IV) != 0)
        return StreamResult::CipherFailed;
    // Runs of several chunks, decrypted where they were read, take fewer calls than a chunk at a
    // time; should the memory not be had, a chunk at a time still works.
    std::unique_ptr<uint8_t[]> run_buffer(new (std::nothrow) uint8_t[STREAM_RUN]);
    uint8_t *buffer = run_buffer ? run_buffer.get() : in_;
    const uint64_t step = run_buffer ? STREAM_RUN : CONTAINER_CHUNK_SIZE;
    const uint64_t size = trailer_.plain_size;
    const uint64_t whole = size / cipher_.block_size * cipher_.block_size;
    StreamResult result = StreamResult::Ok;
    for (uint64_t at = 0; result == StreamResult::Ok && at < whole;) {
        if (progress && at % REPORT_RUN == 0 && !progress->advance(at, size)) {
            result = StreamResult::Stopped;
            break;
        }
        // What was written goes to the disk in runs while the rest is decrypted, so that the
        // caller's flush at the end has little left to wait for.
        if (at > 0 && at % WRITE_BACK_RUN == 0)
            output.start_write_back(at - WRITE_BACK_RUN, WRITE_BACK_RUN);
        const auto length = static_cast<uint32_t>(std::min(step, whole - at));
        result = piece(input, output, buffer, length);
        at += length;
    }
    if (run_buffer) wipe_memory(run_buffer.get(), STREAM_RUN);
    uint32_t tail_length = 0;
    if (result == StreamResult::Ok) result = finish(input, true, &tail_length);
    if (result == StreamResult::Ok && tail_length != 0 &&
        !platform::write_exact(output, out_, tail_length))
        result = StreamResult::WriteFailed;
    if (result == StreamResult::Ok && progress) progress->advance(size, size);
    return result;
}

// Moves `length` bytes (whole blocks) from input to output through the cipher, in `buffer`.
StreamResult DecryptStream::piece(platform::File &input, platform::File &output, uint8_t *buffer,
                                  uint32_t length) {
    if (!platform::read_exact(input, buffer, length)) return StreamResult::ReadFailed;
    if (convmech_update(cipher_.algorithm, cipher_.decrypt_mode, &context_, buffer, buffer,
                        length) != 0)
        return StreamResult::CipherFailed;
    return platform::write_exact(output, buffer, length) ? StreamResult::Ok
                                                         : StreamResult::WriteFailed;
}

// The key check block with the context positioned just before it, then with `with_final` the
// final block, whose plain bytes are left at the start of the output buffer.
StreamResult DecryptStream::finish(platform::File &input, bool with_final, uint32_t *tail_length) {
    const uint32_t key_length = cipher_.key_length;
    const uint32_t block = cipher_.block_size;
    if (!platform::read_exact(input, in_, with_final ? key_length + block : key_length))
        return StreamResult::ReadFailed;
    if (convmech_update(cipher_.algorithm, cipher_.decrypt_mode, &context_, in_, out_,
                        key_length) != 0)
        return StreamResult::CipherFailed;
    if (!same_bytes(out_, key_, key_length)) return StreamResult::WrongKey;
    if (!with_final) return StreamResult::Ok;
    *tail_length = block;
    if (convmech_final(cipher_.algorithm, cipher_.decrypt_mode, &context_, CONTAINER_PADDING,
                       in_ + key_length, out_, tail_length) != 0 ||
        *tail_length != trailer_.plain_size % block)
        return StreamResult::BadFinal;
    return StreamResult::Ok;
}
