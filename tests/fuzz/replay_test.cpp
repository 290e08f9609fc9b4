// Every committed fixture (an input a fuzzer once found a defect with, named
// <target>_<defect>) and every seed runs through its target's body in an ordinary build, so a
// fixed defect stays fixed without a fuzzer.
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/fuzz/targets/fuzz_seeds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const FuzzTarget *target_of(const std::string &file_name) {
    for (size_t t = 0; t < FUZZ_TARGET_COUNT; ++t) {
        const std::string prefix = std::string(FUZZ_TARGETS[t].name) + "_";
        if (file_name.rfind(prefix, 0) == 0) return &FUZZ_TARGETS[t];
    }
    return nullptr;
}

TEST(FuzzReplay, EveryFixtureRunsThroughItsTarget) {
    const std::filesystem::path folder =
        std::filesystem::path(QXV_SOURCE_DIR) / "tests/fuzz/fixtures";
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "README.md") continue;
        const FuzzTarget *target = target_of(name);
        ASSERT_NE(target, nullptr) << name << " names no fuzz target";
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(name);
        target->body(bytes.data(), bytes.size()); // a broken property traps
    }
}

TEST(FuzzReplay, EverySeedRunsThroughItsTarget) {
    for (size_t t = 0; t < FUZZ_TARGET_COUNT; ++t) {
        const auto seeds = fuzz_seeds_for(FUZZ_TARGETS[t].name);
        EXPECT_GE(seeds.size(), 4u) << FUZZ_TARGETS[t].name;
        for (const auto &seed : seeds)
            FUZZ_TARGETS[t].body(seed.data(), seed.size());
    }
}

} // namespace
