// Decryption of a located container: the password is tested on the key check block (and the
// final block's padding) before anything is written, then the whole CBC stream is decrypted in
// chunks of CONTAINER_CHUNK_SIZE bytes into the output.
#pragma once

#include "platform/file_system.h"
#include "platform/secure_string.h"
#include "stub/container_locator.h"

enum class StubDecryptResult { Ok, WrongPassword, FileError };

// The derived key, wiped when it goes out of scope.
struct StubKey {
    uint8_t bytes[16] = {};
    ~StubKey();
};

// The key: the first K bytes of SHA-1 over the whole password followed by the whole salt.
void stub_derive_key(const platform::SecureString &password, const StubContainer &container,
                     StubKey &key);

// Reads only. Decrypts the key check block, chained to the cipher block before it (or the zero
// IV), and the final block: WrongPassword when the block is not the key, FileError when the final
// block's padding does not give the S mod B bytes the trailer promises.
StubDecryptResult stub_check_key(platform::File &input, const StubContainer &container,
                                 const uint8_t *key);

// Decrypts the container into `output`, S bytes; FileError on any short read or write.
StubDecryptResult stub_decrypt(platform::File &input, const StubContainer &container,
                               const uint8_t *key, platform::File &output);
