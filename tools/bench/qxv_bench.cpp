// Timing program for the benchmark script (tools/bench/run-bench.sh), which times each call.
//   qxv_bench hashes                       every hash of the toolkit over 16 KiB buffers
//   qxv_bench encrypt FILE PASSWORD        the container engine, AES, in place
//   qxv_bench decrypt SRC DST PASSWORD     the container engine, AES, to a new file
// QXV_AES_PORTABLE=1 in the environment runs the engine on the table-driven AES.
#include "container/container.h"
#include "tools/bench/hash_bench.h"

#include <cstdio>
#include <cstring>

namespace {

// The engine on one file; prints its result code on failure.
int engine(const char *source, const char *target, const char *password, char mode) {
    const int result = container_crypt_file(source, target, password, mode);
    if (result != CRYPT_OK) std::fprintf(stderr, "qxv_bench: engine result %d\n", result);
    return result == CRYPT_OK ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "hashes") == 0) return bench_hashes();
    if (argc == 4 && std::strcmp(argv[1], "encrypt") == 0) return engine(argv[2], "", argv[3], 'A');
    if (argc == 5 && std::strcmp(argv[1], "decrypt") == 0)
        return engine(argv[2], argv[3], argv[4], 'C');
    std::fprintf(stderr, "usage: qxv_bench hashes\n"
                         "       qxv_bench encrypt FILE PASSWORD\n"
                         "       qxv_bench decrypt SRC DST PASSWORD\n");
    return 2;
}
