// Finds the container at the end of a file (a self-decrypting executable, or a bare container)
// and reads its trailer: the container starts C bytes before its first trailer field, which
// lies within the last CONTAINER_TRAILER_MAX bytes of the file.
#pragma once

#include "container/container.h"
#include "platform/file_system.h"

#include <cstdint>
#include <vector>

struct StubContainer {
    uint64_t start = 0;         // offset of the ciphertext region in the file
    uint32_t cipher_length = 0; // C
    uint32_t plain_size = 0;    // S
    uint32_t algorithm = 0;     // toolkit algorithm id
    uint32_t key_length = 0;    // K
    uint32_t block_size = 0;    // B
    std::vector<uint8_t> salt;
};

// nullptr when found (and `container` filled in), otherwise the message that says what is wrong.
const char *stub_locate_container(platform::File &file, StubContainer &container);
