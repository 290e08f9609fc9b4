#include "tools/bench/hash_bench.h"

#include "crypto/hashmech.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

struct Named {
    uint32_t id;
    const char *name;
};

const Named kHashes[] = {
    {HASHMECH_SHA1, "SHA-1"}, {HASHMECH_SHA256, "SHA-256"},       {HASHMECH_SHA512, "SHA-512"},
    {HASHMECH_MD5, "MD5"},    {HASHMECH_RIPEMD160, "RIPEMD-160"}, {HASHMECH_MDC2, "MDC-2"},
    {HASHMECH_MDC4, "MDC-4"}};

// MB/s of update calls over `chunk`-byte buffers, for about one second.
double megabytes_per_second(uint32_t id, const std::vector<uint8_t> &chunk) {
    using Clock = std::chrono::steady_clock;
    HashContext context;
    if (hashmech_init(id, nullptr, &context) != 0) return 0;
    size_t done = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (int i = 0; i < 16; ++i) {
            hashmech_update(id, &context, chunk.data(), uint32_t(chunk.size()));
        }
        done += 16 * chunk.size();
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 1.0);
    uint8_t digest[HASHMECH_MAX_DIGEST];
    hashmech_final(id, &context, 0, nullptr, 0, digest);
    return double(done) / elapsed / 1e6;
}

} // namespace

int bench_hashes() {
    const std::vector<uint8_t> chunk(16384, 0x5a);
    for (const Named &h : kHashes) {
        std::printf("hash    %-10s %10.1f MB/s\n", h.name, megabytes_per_second(h.id, chunk));
    }
    return 0;
}
