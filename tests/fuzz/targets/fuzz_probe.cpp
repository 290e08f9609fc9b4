#include "container/container_probe.h"
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/memory_file_system.h"

#include <cstring>

// The probe over any file: a known code, an algorithm name only with the codes that give one,
// always ended within its buffer.
void fuzz_probe(const uint8_t *data, size_t size) {
    static qxv_test::MemoryFileSystem files;
    files.clear();
    files.put("file", std::vector<uint8_t>(data, data + size));
    qxv_test::ScopedFileSystem scope(files);
    char algorithm[PROBE_ALGORITHM_BUFFER_SIZE + 1];
    std::memset(algorithm, 0x5a, sizeof algorithm);
    const int result = container_probe("file", algorithm);
    FUZZ_REQUIRE(algorithm[PROBE_ALGORITHM_BUFFER_SIZE] == 0x5a);
    if (result == PROBE_CONTAINER || result == PROBE_OLD_FORMAT) {
        FUZZ_REQUIRE(std::memchr(algorithm, 0, PROBE_ALGORITHM_BUFFER_SIZE) != nullptr);
    } else {
        FUZZ_REQUIRE(result == PROBE_NONE);
        FUZZ_REQUIRE(algorithm[0] == 0x5a);
    }
}
