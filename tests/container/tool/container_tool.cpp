// Runs the engine once for the format oracle script: container_tool MODE SOURCE TARGET PASSWORD,
// whose exit status is the engine's result code. Two more forms let the script check the
// layout at sizes no test can afford to encrypt:
//   container_tool trailer NAME SIZE OUT   writes the trailer of an S = SIZE container to OUT
//                                          (salt: 25 bytes 0..24; times: 0x0123456789ABCDEF,
//                                          0xFEDCBA9876543210)
//   container_tool locate PATH PASSWORD    prints "read E START S C" (bare reading),
//                                          "find E START S C" (the stub's backward search)
//                                          and "key R" (key check and final block after the
//                                          search; 0 when they hold)
#include "container/container.h"
#include "container/decrypt_stream.h"
#include "container/derive_key.h"
#include "container/trailer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int write_trailer(const char *name, const char *size, const char *out) {
    const CipherChoice *cipher = cipher_for_name(name);
    auto file = platform::file_system().open(out, platform::Access::Write, platform::Share::None,
                                             platform::Disposition::CreateAlways);
    if (cipher == nullptr || !file) return 2;
    uint8_t salt[CONTAINER_SALT_LENGTH];
    for (uint8_t i = 0; i < CONTAINER_SALT_LENGTH; ++i)
        salt[i] = i;
    platform::FileTimes times;
    times.creation = 0x0123456789ABCDEFull;
    times.write = 0xFEDCBA9876543210ull;
    return trailer_write(*file, *cipher, times, salt, CONTAINER_SALT_LENGTH,
                         std::strtoull(size, nullptr, 10))
               ? 0
               : 2;
}

void print(const char *how, TrailerError error, const ContainerTrailer &t) {
    std::printf("%s %d %llu %llu %llu\n", how, static_cast<int>(error),
                static_cast<unsigned long long>(t.start),
                static_cast<unsigned long long>(t.plain_size),
                static_cast<unsigned long long>(t.ciphertext_length));
}

int locate(const char *path, const char *password) {
    auto file = platform::file_system().open(path, platform::Access::Read, platform::Share::Read,
                                             platform::Disposition::OpenExisting);
    uint64_t size = 0;
    if (!file || !file->size(&size)) return 2;
    ContainerTrailer bare;
    print("read", trailer_read(*file, size, &bare), bare);
    ContainerTrailer found;
    const TrailerError error = trailer_find(*file, &found);
    print("find", error, found);
    if (error != TrailerError::None) return 0;
    ContainerKey key;
    derive_key(password, found.salt, found.salt_length, key.bytes, found.cipher->key_length);
    DecryptStream stream(found, key.bytes);
    std::printf("key %d\n", static_cast<int>(stream.check_key(*file, true)));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 5 && std::strcmp(argv[1], "trailer") == 0)
        return write_trailer(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "locate") == 0) return locate(argv[2], argv[3]);
    if (argc != 5 || argv[1][0] == '\0' || argv[1][1] != '\0') {
        std::fprintf(stderr, "usage: container_tool MODE SOURCE TARGET PASSWORD\n");
        return 64;
    }
    return container_crypt_file(argv[2], argv[3], argv[4], argv[1][0]);
}
