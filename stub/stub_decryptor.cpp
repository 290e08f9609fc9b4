#include "stub/stub_decryptor.h"

#include "container/container.h"
#include "container/derive_key.h"
#include "crypto/convmech.h"
#include "crypto/wipe.h"

namespace {

constexpr uint32_t PADDING_COUNT_BYTE = 1957;
constexpr uint32_t MAX_KEY_LENGTH = 16;
constexpr uint32_t MAX_BLOCK_SIZE = 16;
constexpr uint8_t ZERO_IV[16] = {};

// A cipher context that is wiped however the decryption ends.
struct CipherContext {
    ConvContext context{};
    ~CipherContext() { wipe_memory(&context, sizeof context); }
};

// Scratch bytes that held plain text or key material.
template <size_t N> struct WipedBuffer {
    uint8_t bytes[N];
    ~WipedBuffer() { wipe_memory(bytes, N); }
};

bool same_bytes(const uint8_t *a, const uint8_t *b, size_t count) {
    uint8_t difference = 0;
    for (size_t i = 0; i < count; ++i)
        difference |= a[i] ^ b[i];
    return difference == 0;
}

bool seek_to(platform::File &file, uint64_t offset) {
    return file.seek(static_cast<int64_t>(offset), platform::Origin::Begin);
}

// Decrypts the K-byte key check block and the final block with `context`, which is positioned
// just before them; `plain_tail` receives the final block's plain bytes, `tail_length` their count.
StubDecryptResult finish(platform::File &input, const StubContainer &container, const uint8_t *key,
                         ConvContext &context, uint8_t *plain_tail, uint32_t &tail_length) {
    const uint32_t K = container.key_length;
    const uint32_t B = container.block_size;
    WipedBuffer<MAX_KEY_LENGTH + MAX_BLOCK_SIZE> cipher;
    WipedBuffer<MAX_KEY_LENGTH> check;
    if (!platform::read_exact(input, cipher.bytes, K + B)) return StubDecryptResult::FileError;
    if (convmech_update(container.algorithm, CONVMECH_CBC_DECRYPT, &context, cipher.bytes,
                        check.bytes, K) != 0)
        return StubDecryptResult::FileError;
    if (!same_bytes(check.bytes, key, K)) return StubDecryptResult::WrongPassword;
    tail_length = B;
    if (convmech_final(container.algorithm, CONVMECH_CBC_DECRYPT, &context, PADDING_COUNT_BYTE,
                       cipher.bytes + K, plain_tail, &tail_length) != 0 ||
        tail_length != container.plain_size % B)
        return StubDecryptResult::FileError;
    return StubDecryptResult::Ok;
}

} // namespace

StubKey::~StubKey() {
    wipe_memory(bytes, sizeof bytes);
}

void stub_derive_key(const platform::SecureString &password, const StubContainer &container,
                     StubKey &key) {
    derive_key(password.c_str(), container.salt.data(),
               static_cast<uint32_t>(container.salt.size()), key.bytes, container.key_length);
}

StubDecryptResult stub_check_key(platform::File &input, const StubContainer &container,
                                 const uint8_t *key) {
    const uint32_t B = container.block_size;
    const uint64_t whole_blocks = uint64_t(container.plain_size) / B * B;
    WipedBuffer<MAX_BLOCK_SIZE> chaining;
    for (uint32_t i = 0; i < MAX_BLOCK_SIZE; ++i)
        chaining.bytes[i] = ZERO_IV[i];
    if (whole_blocks != 0) {
        // In CBC a block decrypts with the cipher block before it as its chaining value.
        if (!seek_to(input, container.start + whole_blocks - B) ||
            !platform::read_exact(input, chaining.bytes, B))
            return StubDecryptResult::FileError;
    } else if (!seek_to(input, container.start)) {
        return StubDecryptResult::FileError;
    }
    CipherContext cipher;
    if (convmech_init(container.algorithm, CONVMECH_CBC_DECRYPT, &cipher.context, key,
                      chaining.bytes) != 0)
        return StubDecryptResult::FileError;
    WipedBuffer<MAX_BLOCK_SIZE> tail;
    uint32_t tail_length = 0;
    return finish(input, container, key, cipher.context, tail.bytes, tail_length);
}

StubDecryptResult stub_decrypt(platform::File &input, const StubContainer &container,
                               const uint8_t *key, platform::File &output) {
    if (!seek_to(input, container.start)) return StubDecryptResult::FileError;
    CipherContext cipher;
    if (convmech_init(container.algorithm, CONVMECH_CBC_DECRYPT, &cipher.context, key, ZERO_IV) !=
        0)
        return StubDecryptResult::FileError;

    WipedBuffer<CONTAINER_CHUNK_SIZE> in;
    WipedBuffer<CONTAINER_CHUNK_SIZE> out;
    const uint32_t S = container.plain_size;
    const uint32_t F = S % CONTAINER_CHUNK_SIZE / container.block_size * container.block_size;
    auto decrypt_piece = [&](uint32_t length) {
        return platform::read_exact(input, in.bytes, length) &&
               convmech_update(container.algorithm, CONVMECH_CBC_DECRYPT, &cipher.context, in.bytes,
                               out.bytes, length) == 0 &&
               platform::write_exact(output, out.bytes, length);
    };
    for (uint32_t chunk = 0; chunk < S / CONTAINER_CHUNK_SIZE; ++chunk) {
        if (!decrypt_piece(CONTAINER_CHUNK_SIZE)) return StubDecryptResult::FileError;
    }
    if (F != 0 && !decrypt_piece(F)) return StubDecryptResult::FileError;

    uint32_t tail_length = 0;
    StubDecryptResult result =
        finish(input, container, key, cipher.context, out.bytes, tail_length);
    if (result != StubDecryptResult::Ok) return result;
    if (tail_length != 0 && !platform::write_exact(output, out.bytes, tail_length))
        return StubDecryptResult::FileError;
    return StubDecryptResult::Ok;
}
