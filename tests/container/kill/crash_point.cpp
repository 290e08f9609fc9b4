// Runs one in-place encryption (or the recovery of an interrupted one) and dies at the Nth call
// that changes the disk:
//
//   crash_point plain|torn|pause N MODE PASSWORD PATH
//
// N = 0 never dies; pause waits at the Nth call for PATH.resume, having made PATH.paused. A run
// that dies exits with KILLED_EXIT_CODE; one that finishes prints "calls C" (the modifying calls it
// made) and exits with the engine's result.
#include "container/container.h"
#include "tests/container/kill/kill_switch_file_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
    using qxv_test::Fate;
    const std::string fate = argc == 6 ? argv[1] : "";
    if ((fate != "plain" && fate != "torn" && fate != "pause") || std::strlen(argv[3]) != 1) {
        std::fprintf(stderr, "usage: crash_point plain|torn|pause N MODE PASSWORD PATH\n");
        return 64;
    }
    qxv_test::KillSwitchFileSystem file_system(platform::native_file_system(),
                                               std::strtol(argv[2], nullptr, 10),
                                               fate == "plain"  ? Fate::Killed
                                               : fate == "torn" ? Fate::Torn
                                                                : Fate::Paused,
                                               argv[5]);
    platform::set_file_system(&file_system);
    const int result = container_crypt_file(argv[5], nullptr, argv[4], argv[3][0]);
    platform::set_file_system(nullptr);
    std::printf("calls %ld\n", file_system.calls());
    std::fflush(stdout);
    return result;
}
