// The bodies of the fuzz targets: each takes hostile bytes, runs one reader over them and traps
// when a property that must hold for every input is broken. The libFuzzer programs call them,
// and the fixture replay test runs them over every committed input in an ordinary build.
#pragma once

#include <cstddef>
#include <cstdint>

// The password every seed container is made with, so that mutations reach the decryption.
constexpr const char FUZZ_PASSWORD[] = "fuzz password";

void fuzz_tlv(const uint8_t *data, size_t size);
void fuzz_engine_decrypt(const uint8_t *data, size_t size);
void fuzz_probe(const uint8_t *data, size_t size);
void fuzz_stub(const uint8_t *data, size_t size);
void fuzz_settings(const uint8_t *data, size_t size);
void fuzz_journal(const uint8_t *data, size_t size);

struct FuzzTarget {
    const char *name;
    void (*body)(const uint8_t *, size_t);
};
// Every target, by the name of its program (fuzz_<name>) and its fixture prefix.
extern const FuzzTarget FUZZ_TARGETS[];
extern const size_t FUZZ_TARGET_COUNT;

// Stops the process in a way every fuzzer and test runner reports as a crash.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) __builtin_trap();                                                        \
    } while (0)
