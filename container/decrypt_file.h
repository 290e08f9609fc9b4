// Decryption that also tells which file it made, so that the caller can later rename or delete
// that very file (and never one that took its name since).
#pragma once

#include "container/container.h"
#include "platform/file_system.h"

// container_crypt_file for a decryption mode letter ('d', 'D', 'C'); on CRYPT_OK `*made` is the
// identity of the new file `target`, read from the engine's own handle on it.
int container_decrypt_file(const char *source, const char *target, const char *password, char mode,
                           platform::FileIdentity *made, CryptProgress *progress = nullptr);
