// One libFuzzer program per target; QXV_FUZZ_BODY names the body it drives.
#include "tests/fuzz/targets/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QXV_FUZZ_BODY(data, size);
    return 0;
}
