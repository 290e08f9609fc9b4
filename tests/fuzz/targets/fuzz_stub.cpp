#include "stub/container_locator.h"
#include "stub/stub_decryptor.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/memory_file.h"

#include <cstring>

// The stub's trailer search and reading over any file, then, with the seed password, the key
// check and the decryption: a located container lies inside the file, and a decryption that
// succeeds writes exactly the plain size the trailer gives.
void fuzz_stub(const uint8_t *data, size_t size) {
    qxv_test::MemoryFile input(std::vector<uint8_t>(data, data + size));
    StubContainer container;
    if (stub_locate_container(input, container) != nullptr) return;
    FUZZ_REQUIRE(container.start + container.cipher_length <= size);
    FUZZ_REQUIRE(container.key_length <= sizeof StubKey{}.bytes);
    platform::SecureString password;
    password.assign(FUZZ_PASSWORD, std::strlen(FUZZ_PASSWORD));
    StubKey key;
    stub_derive_key(password, container, key);
    if (stub_check_key(input, container, key.bytes) != StubDecryptResult::Ok) return;
    qxv_test::MemoryFile output;
    if (stub_decrypt(input, container, key.bytes, output) == StubDecryptResult::Ok)
        FUZZ_REQUIRE(output.bytes().size() == container.plain_size);
}
