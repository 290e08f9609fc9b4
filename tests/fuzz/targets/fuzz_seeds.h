// Seed inputs for each fuzz target, made by the engine itself: containers of every algorithm
// and of sizes around the block and chunk edges, self-decrypting files, and damaged variants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<std::vector<uint8_t>> fuzz_seeds_for(const std::string &target);
