// Throughput of the toolkit through its public interfaces, in MB/s over 16 KiB chunks (the
// unit the container engine moves). Add a measurement as one more row of MEASUREMENTS.
//   toolkit_bench            every row, about one second each
// Set QXV_AES_PORTABLE=1 to measure the table-driven AES instead of the AES instructions.
#include "crypto/aes_ni.h"
#include "crypto/convmech.h"
#include "crypto/hashmech.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr size_t CHUNK = 16384;

// A measured operation: set up once, then called over and over on one CHUNK-byte buffer.
struct Measurement {
    const char *name;
    double (*run)(std::vector<uint8_t> &chunk);
};

// Calls `step` on the chunk for about one second of processor time and returns MB per
// processor second, as `openssl speed` counts by default, so that a busy machine does not
// skew the comparison (the Windows C runtime's clock() counts wall time instead).
template <class Step> double megabytes_per_second(std::vector<uint8_t> &chunk, Step step) {
    step(chunk);
    size_t done = 0;
    const std::clock_t start = std::clock();
    double elapsed = 0;
    do {
        for (int i = 0; i < 16; ++i)
            step(chunk);
        done += 16 * chunk.size();
        elapsed = double(std::clock() - start) / CLOCKS_PER_SEC;
    } while (elapsed < 1.0);
    return double(done) / elapsed / 1e6;
}

// convmech_update in place over the chunk, one context for the whole run.
template <uint32_t Algorithm, uint32_t Mode> double convmech_run(std::vector<uint8_t> &chunk) {
    const uint8_t key[32] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6};
    const uint8_t iv[16] = {};
    ConvContext context;
    if (convmech_init(Algorithm, Mode, &context, key, iv) != 0) return 0;
    const double rate = megabytes_per_second(chunk, [&](std::vector<uint8_t> &c) {
        convmech_update(Algorithm, Mode, &context, c.data(), c.data(), uint32_t(c.size()));
    });
    uint32_t length = 0;
    convmech_final(Algorithm, Mode, &context, 0, nullptr, nullptr, &length);
    return rate;
}

// hashmech_update over the chunk, one context for the whole run.
template <uint32_t Algorithm> double hashmech_run(std::vector<uint8_t> &chunk) {
    HashContext context;
    if (hashmech_init(Algorithm, nullptr, &context) != 0) return 0;
    const double rate = megabytes_per_second(chunk, [&](std::vector<uint8_t> &c) {
        hashmech_update(Algorithm, &context, c.data(), uint32_t(c.size()));
    });
    uint8_t digest[HASHMECH_MAX_DIGEST];
    hashmech_final(Algorithm, &context, 0, nullptr, 0, digest);
    return rate;
}

const Measurement MEASUREMENTS[] = {
    {"AES-128-CBC encrypt", convmech_run<CONVMECH_AES128, CONVMECH_CBC_ENCRYPT>},
    {"AES-128-CBC decrypt", convmech_run<CONVMECH_AES128, CONVMECH_CBC_DECRYPT>},
    {"3DES-2key-CBC encrypt", convmech_run<CONVMECH_DES3_2KEY, CONVMECH_CBC_ENCRYPT>},
    {"3DES-2key-CBC decrypt", convmech_run<CONVMECH_DES3_2KEY, CONVMECH_CBC_DECRYPT>},
    {"DES-CBC encrypt", convmech_run<CONVMECH_DES, CONVMECH_CBC_ENCRYPT>},
    {"SHA-1", hashmech_run<HASHMECH_SHA1>},
    {"SHA-256", hashmech_run<HASHMECH_SHA256>},
    {"SHA-512", hashmech_run<HASHMECH_SHA512>},
    {"MD5", hashmech_run<HASHMECH_MD5>},
    {"RIPEMD-160", hashmech_run<HASHMECH_RIPEMD160>},
    {"MDC-2", hashmech_run<HASHMECH_MDC2>},
};

} // namespace

int main() {
    std::printf("AES path: %s\n", aes_ni_selected() ? "AES instructions" : "table-driven");
    std::vector<uint8_t> chunk(CHUNK, 0x5a);
    for (const Measurement &m : MEASUREMENTS)
        std::printf("%-24s %9.1f MB/s\n", m.name, m.run(chunk));
    return 0;
}
