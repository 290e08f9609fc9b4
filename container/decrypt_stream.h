// A container's CBC stream decrypted, for the engine and the stub alike: the key check block
// tested first (reading only), then the data into a writer chunk by chunk, the key check block
// again and the padded final block last.
#pragma once

#include "container/container.h"
#include "container/trailer.h"
#include "crypto/convmech.h"
#include "platform/file_system.h"

enum class StreamResult {
    Ok,
    ReadFailed,   // a seek or read failed or came short
    WriteFailed,  // a write failed or came short
    CipherFailed, // the toolkit refused the key or a block
    WrongKey,     // the key check block does not decrypt to the key
    BadFinal,     // the final block's padding does not leave the S mod B bytes of the trailer
    Stopped,      // the caller's progress asked to stop
};

// A derived key, wiped when it goes out of scope.
struct ContainerKey {
    uint8_t bytes[CONTAINER_KEY_MAX] = {};
    ~ContainerKey();
};

// Holds the cipher context and two chunk buffers, wiped when it goes out of scope.
class DecryptStream {
public:
    // `trailer` (with its cipher) and `key` (K bytes) must outlive the stream.
    DecryptStream(const ContainerTrailer &trailer, const uint8_t *key)
        : trailer_(trailer), cipher_(*trailer.cipher), key_(key) {}
    ~DecryptStream();
    DecryptStream(const DecryptStream &) = delete;
    DecryptStream &operator=(const DecryptStream &) = delete;

    // Decrypts the key check block alone, chained to the cipher block before it (or the zero
    // IV), and with `with_final` the final block after it. Nothing is written.
    StreamResult check_key(platform::File &input, bool with_final);
    // The whole stream from the container's start: S plain bytes into `output`. `progress`,
    // when given, is told the bytes written every MiB and at the end, and may stop the stream.
    StreamResult run(platform::File &input, platform::File &output,
                     CryptProgress *progress = nullptr);

private:
    StreamResult piece(platform::File &input, platform::File &output, uint8_t *buffer,
                       uint32_t length);
    StreamResult finish(platform::File &input, bool with_final, uint32_t *tail_length);

    const ContainerTrailer &trailer_;
    const CipherChoice &cipher_;
    const uint8_t *key_;
    ConvContext context_{};
    uint8_t in_[CONTAINER_CHUNK_SIZE];
    uint8_t out_[CONTAINER_CHUNK_SIZE];
};
