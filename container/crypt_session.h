// What one engine call holds: its two files, the key, the cipher context, the two chunk
// buffers of decryption and the work area of in-place encryption. container_close ends a
// call on every path: it closes the files and wipes the key, the context and the buffers
// (which held plain data).
#pragma once

#include "container/container.h"
#include "crypto/convmech.h"
#include "platform/file_system.h"

#include <memory>

struct CryptSession {
    std::unique_ptr<platform::File> source;
    std::unique_ptr<platform::File> target;
    uint8_t key[16] = {};
    ConvContext context{};
    uint8_t in[CONTAINER_CHUNK_SIZE];
    uint8_t out[CONTAINER_CHUNK_SIZE];
    std::unique_ptr<uint8_t[]> work; // in-place encryption: pieces of records
    size_t work_size = 0;
};

void container_close(CryptSession &session);

// The CBC initialisation vector of every container: zero bytes.
extern const uint8_t CONTAINER_ZERO_IV[16];

int container_encrypt(CryptSession &session, const char *path, const char *password,
                      const struct CipherChoice &cipher);
int container_decrypt(CryptSession &session, const char *source, const char *target,
                      const char *password, const struct CipherChoice &fallback);
