// Encryption that also gives the file its container name: the file encrypted is the very one
// the caller checked and holds, and it takes the new name while its journal still exists, so
// that a name that cannot be had puts the file back as it was, and a kill at any point leaves
// either the plain file, a journal that finishes the job, or the container under its new name.
#pragma once

#include "platform/file_system.h"

#include <functional>
#include <string>

class CryptProgress;

struct EncryptOutput {
    std::string name;            // the name the container takes; it must be free by then
    platform::FileIdentity file; // the file checked and held under the plain name
    std::function<void()> clear; // called just before the rename: frees `name` if agreed
};

// container_crypt_file for an encryption mode letter ('e', 'E', 'A') that ends with the file
// renamed to `output.name`. CRYPT_OK only when that name stands for this file, encrypted; any
// failure leaves the file plain and byte-identical under its old name (or, when even putting
// it back fails, its journal beside it). A file with other names is refused (CRYPT_ERR_LINKED).
// `progress`, when given, is told the bytes done and may stop the call (CRYPT_STOPPED).
int container_encrypt_file(const char *path, const EncryptOutput &output, const char *password,
                           char mode, CryptProgress *progress = nullptr);
