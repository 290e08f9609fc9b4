#include "platform/shell_open.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

bool shell_open(const std::string &target) {
    // Everything the child needs is prepared before fork.
    char program[] = "xdg-open";
    std::string argument = target;
    char *argv[] = {program, argument.data(), nullptr};

    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        // The grandchild runs the opener; the child exits at once so that no zombie is left
        // and the caller does not wait for the opened program.
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, STDIN_FILENO);
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
            }
            ::execvp(program, argv);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
