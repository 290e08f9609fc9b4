#include "platform/shell_open.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace platform {

bool shell_open(const std::string &target) {
    // xdg-open is waited for, so that a missing opener or a type without a program is noticed;
    // it hands the target to the desktop's program and ends. Its own streams go nowhere, so
    // that neither it nor the program it starts writes into a dialog on the terminal.
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char program[] = "xdg-open";
    // A name that starts with "-" must not be taken for an option.
    std::string argument = target.starts_with('-') ? "./" + target : target;
    char *arguments[] = {program, argument.data(), nullptr};
    pid_t child;
    const int spawned = posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
