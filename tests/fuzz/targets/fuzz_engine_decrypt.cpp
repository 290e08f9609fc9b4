#include "container/container.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/memory_file_system.h"

// The whole decryption of a container with the seed password, on files in memory: the source
// is never changed, a failure leaves no target, and a success leaves a target no longer than
// the ciphertext region.
void fuzz_engine_decrypt(const uint8_t *data, size_t size) {
    static qxv_test::MemoryFileSystem files;
    files.clear();
    const std::vector<uint8_t> input(data, data + size);
    files.put("in.qxv", input);
    qxv_test::ScopedFileSystem scope(files);
    const int result = container_crypt_file("in.qxv", "out", FUZZ_PASSWORD, 'C');
    FUZZ_REQUIRE(result == CRYPT_OK || result == CRYPT_ERR_FILE || result == CRYPT_ERR_FORMAT ||
                 result == CRYPT_ERR_PASSWORD);
    const auto *source = files.get("in.qxv");
    FUZZ_REQUIRE(source != nullptr && *source == input);
    const auto *target = files.get("out");
    if (result != CRYPT_OK) {
        FUZZ_REQUIRE(target == nullptr);
        return;
    }
    FUZZ_REQUIRE(target != nullptr && target->size() < size);
    FUZZ_REQUIRE(files.file_count() == 2);
}
