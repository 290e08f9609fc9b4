// Timing program for the benchmark script (tools/bench/run-bench.sh).
//   qxv_bench kernels                      cipher throughput through the mechanism layer
//   qxv_bench hashes                       every hash of the toolkit over 16 KiB buffers
//   qxv_bench encrypt FILE PASSWORD        the container engine, AES, in place
//   qxv_bench decrypt SRC DST PASSWORD     the container engine, AES, to a new file
// QXV_AES_PORTABLE=1 in the environment measures the table-driven AES.
#include "crypto/aes_ni.h"
#include "crypto/convmech.h"
#include "tools/bench/hash_bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs `step` (which processes `bytes` bytes) repeatedly for about `seconds`; returns MB/s.
template <class F> double throughput(size_t bytes, double seconds, F step) {
    step();
    size_t done = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (int i = 0; i < 16; ++i)
            step();
        done += 16 * bytes;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return double(done) / elapsed / 1e6;
}

// CBC in 16 KiB updates, as the container engine calls it.
double cbc_throughput(uint32_t algorithm, uint32_t mode) {
    const uint32_t chunk = 16384;
    std::vector<uint8_t> buf(chunk, 0x5a);
    const uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const uint8_t iv[16] = {};
    ConvContext context;
    if (convmech_init(algorithm, mode, &context, key, iv) != 0) return 0;
    const double mbs = throughput(chunk, 1.0, [&] {
        convmech_update(algorithm, mode, &context, buf.data(), buf.data(), chunk);
    });
    uint32_t length = 0;
    convmech_final(algorithm, mode, &context, 0, nullptr, nullptr, &length);
    return mbs;
}

int kernels() {
    const char *path = aes_ni_selected() ? "aes-ni" : "portable";
    std::printf("%-8s aes-128-cbc encrypt %8.0f MB/s\n", path,
                cbc_throughput(CONVMECH_AES128, CONVMECH_CBC_ENCRYPT));
    std::printf("%-8s aes-128-cbc decrypt %8.0f MB/s\n", path,
                cbc_throughput(CONVMECH_AES128, CONVMECH_CBC_DECRYPT));
    std::printf("%-8s des-ede-cbc encrypt %8.0f MB/s\n", "tables",
                cbc_throughput(CONVMECH_DES3_2KEY, CONVMECH_CBC_ENCRYPT));
    std::printf("%-8s des-ede-cbc decrypt %8.0f MB/s\n", "tables",
                cbc_throughput(CONVMECH_DES3_2KEY, CONVMECH_CBC_DECRYPT));
    std::printf("%-8s des-cbc encrypt     %8.0f MB/s\n", "tables",
                cbc_throughput(CONVMECH_DES, CONVMECH_CBC_ENCRYPT));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "kernels") == 0) return kernels();
    std::fprintf(stderr, "usage: qxv_bench kernels | hashes\n"
                         "       qxv_bench encrypt FILE PASSWORD\n"
                         "       qxv_bench decrypt SRC DST PASSWORD\n");
    return 2;
}
