#include "platform/terminal_emulator.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::terminal {
namespace {

// Set in the environment of the program the emulator starts: it must not reopen itself again
// should the emulator give it no terminal after all.
constexpr const char *MARK = "QXV_IN_TERMINAL_EMULATOR";

bool set(const char *variable) {
    const char *value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

} // namespace

bool started_without_terminal() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::isatty(fd) == 1) return false;
    }
    struct stat input;
    if (::fstat(STDIN_FILENO, &input) != 0) return true;
    return S_ISCHR(input.st_mode);
}

bool take_terminal_emulator_mark() {
    const bool marked = set(MARK);
    ::unsetenv(MARK);
    return marked;
}

bool reopen_in_terminal_emulator(const std::vector<std::string> &command) {
    if (command.empty() || (!set("DISPLAY") && !set("WAYLAND_DISPLAY"))) return false;
    std::vector<std::string> words = {"x-terminal-emulator", "-e"};
    words.insert(words.end(), command.begin(), command.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    if (::setenv(MARK, "1", 1) != 0) return false;
    ::execvp(argv[0], argv.data());
    ::unsetenv(MARK); // not started: this process goes on without a terminal
    return false;
}

} // namespace platform::terminal
