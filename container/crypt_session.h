// What one engine call holds: its two files, the key, the cipher context and the two chunk
// buffers. container_close ends a call on every path: it closes the files and wipes the key,
// the context and the buffers (which held plain data).
#pragma once

#include "container/container.h"
#include "crypto/convmech.h"
#include "platform/file_system.h"

#include <memory>

// Bytes read and written at a time by the in-place encryption loop: whole chunks, so the
// cipher still sees the format's unit, but a sixteenth of the system calls. Overwriting pages
// already in the cache gains from it (about 7% less processor time on 256 MiB); writes of a
// new file, as decryption does, were no faster and at times much slower, so it keeps chunks.
constexpr uint32_t CONTAINER_IO_CHUNKS = 16;
constexpr uint32_t CONTAINER_IO_SIZE = CONTAINER_IO_CHUNKS * CONTAINER_CHUNK_SIZE;

struct CryptSession {
    std::unique_ptr<platform::File> source;
    std::unique_ptr<platform::File> target;
    uint8_t key[16] = {};
    ConvContext context{};
    uint8_t in[CONTAINER_IO_SIZE];
    uint8_t out[CONTAINER_IO_SIZE];
};

void container_close(CryptSession &session);

// The CBC initialisation vector of every container: zero bytes.
extern const uint8_t CONTAINER_ZERO_IV[16];

int container_encrypt(CryptSession &session, const char *path, const char *password,
                      const struct CipherChoice &cipher);
int container_decrypt(CryptSession &session, const char *source, const char *target,
                      const char *password, const struct CipherChoice &fallback);
