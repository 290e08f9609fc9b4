#include "tests/fuzz/targets/fuzz_bodies.h"

const FuzzTarget FUZZ_TARGETS[] = {
    {"tlv", fuzz_tlv},           {"engine_decrypt", fuzz_engine_decrypt},
    {"probe", fuzz_probe},       {"stub", fuzz_stub},
    {"settings", fuzz_settings}, {"journal", fuzz_journal},
};
const size_t FUZZ_TARGET_COUNT = sizeof FUZZ_TARGETS / sizeof FUZZ_TARGETS[0];
