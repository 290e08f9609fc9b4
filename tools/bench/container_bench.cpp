// Times the container engine on one large file beside `openssl enc` on the same file:
//   container_bench [MIB] [FOLDER]      (defaults: 256 MiB in the system's temporary folder)
// Encrypts the file in place and decrypts it to a new file, checks the round trip, then runs
// `openssl enc -aes-128-cbc` and `openssl enc -d` over the same plain data and prints the
// ratios (engine time / openssl time).
#include "container/container.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <class F> double seconds_of(F step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool write_pattern(const std::string &path, uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(1 << 20);
    uint32_t state = 12345;
    for (uint64_t done = 0; done < size; done += chunk.size()) {
        for (auto &byte : chunk) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<char>(state >> 16);
        }
        out.write(chunk.data(),
                  static_cast<std::streamsize>(std::min<uint64_t>(chunk.size(), size - done)));
    }
    return static_cast<bool>(out);
}

bool same_contents(const std::string &a, const std::string &b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    for (;;) {
        x.read(p.data(), static_cast<std::streamsize>(p.size()));
        y.read(q.data(), static_cast<std::streamsize>(q.size()));
        if (x.gcount() != y.gcount()) return false;
        if (x.gcount() == 0) return true;
        if (!std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
    }
}

int run(const std::string &command) {
    return std::system(command.c_str());
}

} // namespace

int main(int argc, char **argv) {
    const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::string plain = (folder / "qxv-bench-plain").string();
    const std::string reference = plain + ".orig", decrypted = plain + ".dec";
    const std::string ossl_cipher = plain + ".ossl", ossl_plain = plain + ".ossl.dec";
    const uint64_t size = mib << 20;
    if (!write_pattern(plain, size)) {
        std::fprintf(stderr, "cannot write %s\n", plain.c_str());
        return 1;
    }
    std::filesystem::copy_file(plain, reference, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(decrypted);

    int status = 0;
    const double encrypt = seconds_of(
        [&] { status |= container_crypt_file(plain.c_str(), "", "bench password", 'A'); });
    const double decrypt = seconds_of([&] {
        status |= container_crypt_file(plain.c_str(), decrypted.c_str(), "bench password", 'C');
    });
    if (status != CRYPT_OK || !same_contents(reference, decrypted)) {
        std::fprintf(stderr, "round trip failed (status %d)\n", status);
        return 1;
    }

    const std::string key =
        "-K 00112233445566778899aabbccddeeff -iv 00000000000000000000000000000000";
    const double ossl_encrypt = seconds_of([&] {
        status |= run("openssl enc -aes-128-cbc " + key + " -in '" + reference + "' -out '" +
                      ossl_cipher + "'");
    });
    const double ossl_decrypt = seconds_of([&] {
        status |= run("openssl enc -d -aes-128-cbc " + key + " -in '" + ossl_cipher + "' -out '" +
                      ossl_plain + "'");
    });
    for (const auto &path : {plain, reference, decrypted, ossl_cipher, ossl_plain})
        std::filesystem::remove(path);
    if (status != 0) {
        std::fprintf(stderr, "openssl failed\n");
        return 1;
    }

    const double mb = static_cast<double>(size) / 1e6;
    std::printf("file: %llu MiB in %s\n", static_cast<unsigned long long>(mib),
                folder.string().c_str());
    std::printf("engine  encrypt in place  %7.3f s  %8.1f MB/s\n", encrypt, mb / encrypt);
    std::printf("engine  decrypt to file   %7.3f s  %8.1f MB/s\n", decrypt, mb / decrypt);
    std::printf("openssl enc -aes-128-cbc  %7.3f s  %8.1f MB/s\n", ossl_encrypt, mb / ossl_encrypt);
    std::printf("openssl enc -d            %7.3f s  %8.1f MB/s\n", ossl_decrypt, mb / ossl_decrypt);
    std::printf("ratio encrypt engine/openssl %.2f\n", encrypt / ossl_encrypt);
    std::printf("ratio decrypt engine/openssl %.2f\n", decrypt / ossl_decrypt);
    return 0;
}
