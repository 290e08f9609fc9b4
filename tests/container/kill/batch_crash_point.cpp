// Runs the command line's encryption of a folder and dies at the Nth call that changes the disk,
// whichever file (or thread) makes it:
//
//   batch_crash_point plain|torn N PASSWORD_FILE FOLDER
//
// N = 0 never dies. A run that dies exits with KILLED_EXIT_CODE; one that finishes prints
// "calls C" (the modifying calls it made) and exits with the command line tool's status.
#include "tests/container/kill/batch_command.h"
#include "tests/container/kill/kill_switch_file_system.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    using qxv_test::Fate;
    const std::string fate = argc == 5 ? argv[1] : "";
    if (fate != "plain" && fate != "torn") {
        std::fprintf(stderr, "usage: batch_crash_point plain|torn N PASSWORD_FILE FOLDER\n");
        return 64;
    }
    qxv_test::KillSwitchFileSystem file_system(platform::native_file_system(),
                                               std::strtol(argv[2], nullptr, 10),
                                               fate == "plain" ? Fate::Killed : Fate::Torn);
    platform::set_file_system(&file_system);
    const int status = qxv_test::run_encrypt_batch(argv[3], argv[4]);
    platform::set_file_system(nullptr);
    std::printf("calls %ld\n", file_system.calls());
    std::fflush(stdout);
    return status;
}
