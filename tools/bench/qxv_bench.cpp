// Timing program for the benchmark script.
//   qxv_bench kernels            AES-128-CBC and two-key 3DES-CBC throughput over 16 KiB buffers
//   qxv_bench hashes             every hash of the toolkit over 16 KiB buffers, in MB/s
#include "crypto/aes_ni.h"
#include "tools/bench/hash_bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs `step` (which processes `bytes` bytes) repeatedly for about `seconds` and returns GB/s.
template <class F> double throughput(size_t bytes, double seconds, F step) {
    step();
    size_t done = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (int i = 0; i < 64; ++i)
            step();
        done += 64 * bytes;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return double(done) / elapsed / 1e9;
}

int kernels() {
    const size_t n = 16384;
    std::vector<uint8_t> buf(n, 0x5a);
    uint8_t key[16] = {1, 2, 3}, chain[16] = {};
    if (aes_ni_supported()) {
        uint8_t enc[AES_NI_SCHEDULE_SIZE], dec[AES_NI_SCHEDULE_SIZE];
        aes_ni_schedule_encrypt(key, 16, enc);
        aes_ni_schedule_decrypt(key, 16, dec);
        std::printf("aes-ni  aes-128-cbc encrypt %6.2f GB/s\n", throughput(n, 1.0, [&] {
                        aes_ni_cbc_encrypt(enc, 10, chain, buf.data(), buf.data(), n / 16);
                    }));
        std::printf("aes-ni  aes-128-cbc decrypt %6.2f GB/s\n", throughput(n, 1.0, [&] {
                        aes_ni_cbc_decrypt(dec, 10, chain, buf.data(), buf.data(), n / 16);
                    }));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "kernels") == 0) return kernels();
    if (argc >= 2 && std::strcmp(argv[1], "hashes") == 0) return bench_hashes();
    std::fprintf(stderr, "usage: qxv_bench kernels | hashes\n");
    return 2;
}
