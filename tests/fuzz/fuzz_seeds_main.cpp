// Writes the seed corpus of every fuzz target: fuzz_seeds <folder> makes <folder>/<target>/.
#include "tests/fuzz/targets/fuzz_bodies.h"
#include "tests/fuzz/targets/fuzz_seeds.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    for (size_t t = 0; t < FUZZ_TARGET_COUNT; ++t) {
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / FUZZ_TARGETS[t].name;
        std::filesystem::create_directories(folder);
        int n = 0;
        for (const auto &seed : fuzz_seeds_for(FUZZ_TARGETS[t].name)) {
            std::ofstream out(folder / ("seed_" + std::to_string(n++)), std::ios::binary);
            out.write(reinterpret_cast<const char *>(seed.data()), std::streamsize(seed.size()));
            if (!out) {
                std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", folder.c_str());
                return 1;
            }
        }
    }
    return 0;
}
