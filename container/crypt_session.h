// What one engine call holds: its two files, the key, the cipher context and the work area of
// in-place encryption (decryption keeps its own in its DecryptStream). container_close ends a
// call on every path: it closes the files and wipes the key, the context and the work area
// (which held plain data).
#pragma once

#include "container/cipher_choice.h"
#include "container/container.h"
#include "crypto/convmech.h"
#include "platform/file_system.h"

#include <memory>

struct CryptSession {
    std::unique_ptr<platform::File> source;
    std::unique_ptr<platform::File> target;
    uint8_t key[CONTAINER_KEY_MAX] = {};
    ConvContext context{};
    std::unique_ptr<uint8_t[]> work; // in-place encryption: pieces of records
    size_t work_size = 0;
    CryptProgress *progress = nullptr; // the caller's, optional
};

void container_close(CryptSession &session);

struct EncryptOutput;
// `output`, when given, names the file the caller holds and the name it takes at the end.
int container_encrypt(CryptSession &session, const char *path, const char *password,
                      const CipherChoice &cipher, const EncryptOutput *output = nullptr);
// The container's own trailer names the cipher; the mode letter only says "decrypt".
int container_decrypt(CryptSession &session, const char *source, const char *target,
                      const char *password);
