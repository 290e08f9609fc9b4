// Runs one in-place encryption (or the recovery of an interrupted one) and dies at the Nth call
// that changes the disk:
//
//   crash_point plain|torn|pause N MODE PASSWORD PATH [OUTPUT]
//
// With OUTPUT the file is held as the batch holds it and the container takes that name.
// N = 0 never dies; pause waits at the Nth call for PATH.resume, having made PATH.paused. A run
// that dies exits with KILLED_EXIT_CODE; one that finishes prints "calls C" (the modifying calls it
// made) and exits with the engine's result.
#include "container/container.h"
#include "container/encrypt_file.h"
#include "platform/held_file.h"
#include "tests/container/kill/kill_switch_file_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
    using qxv_test::Fate;
    const std::string fate = argc == 6 || argc == 7 ? argv[1] : "";
    if ((fate != "plain" && fate != "torn" && fate != "pause") || std::strlen(argv[3]) != 1) {
        std::fprintf(stderr, "usage: crash_point plain|torn|pause N MODE PASSWORD PATH [OUTPUT]\n");
        return 64;
    }
    qxv_test::KillSwitchFileSystem file_system(platform::native_file_system(),
                                               std::strtol(argv[2], nullptr, 10),
                                               fate == "plain"  ? Fate::Killed
                                               : fate == "torn" ? Fate::Torn
                                                                : Fate::Paused,
                                               argv[5]);
    platform::HeldFile held;
    if (argc == 7 && !held.hold(argv[5])) return 66;
    platform::set_file_system(&file_system);
    const int result = argc == 7 ? container_encrypt_file(argv[5], {argv[6], held.identity(), {}},
                                                          argv[4], argv[3][0])
                                 : container_crypt_file(argv[5], nullptr, argv[4], argv[3][0]);
    platform::set_file_system(nullptr);
    std::printf("calls %ld\n", file_system.calls());
    std::fflush(stdout);
    return result;
}
