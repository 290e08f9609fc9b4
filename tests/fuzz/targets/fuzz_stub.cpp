#include "container/decrypt_stream.h"
#include "container/derive_key.h"
#include "stub/stub_flow.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/memory_file.h"

#include <cstring>

// The stub's trailer search and reading over any file, then, with the seed password, the key
// check and the decryption: a located container lies inside the file, and a decryption that
// succeeds writes exactly the plain size the trailer gives.
void fuzz_stub(const uint8_t *data, size_t size) {
    qxv_test::MemoryFile input(std::vector<uint8_t>(data, data + size));
    ContainerTrailer trailer;
    if (stub_locate_container(input, trailer) != nullptr) return;
    FUZZ_REQUIRE(trailer.start + trailer.ciphertext_length <= size);
    FUZZ_REQUIRE(trailer.cipher->key_length <= sizeof ContainerKey{}.bytes);
    ContainerKey key;
    derive_key(FUZZ_PASSWORD, trailer.salt, trailer.salt_length, key.bytes,
               trailer.cipher->key_length);
    DecryptStream stream(trailer, key.bytes);
    if (stream.check_key(input, true) != StreamResult::Ok) return;
    qxv_test::MemoryFile output;
    if (stream.run(input, output) == StreamResult::Ok)
        FUZZ_REQUIRE(output.bytes().size() == trailer.plain_size);
}
