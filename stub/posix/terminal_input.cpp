#include "stub/posix/terminal_input.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

// Calls `take` for each byte of one line read from standard input.
template <typename Take> bool read_line_bytes(Take take) {
    bool any = false;
    bool pending_cr = false;
    for (;;) {
        char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return any;
        any = true;
        if (c == '\n') return true;
        if (pending_cr) take('\r');
        pending_cr = c == '\r';
        if (!pending_cr) take(c);
    }
}

struct termios saved_mode;
volatile sig_atomic_t echo_off = 0;

void restore_echo_and_reraise(int signal_number) {
    if (echo_off) tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

} // namespace

bool terminal_read_line(std::string &line) {
    line.clear();
    return read_line_bytes([&](char c) { line.push_back(c); });
}

bool terminal_read_secret_line(SecretBytes &line) {
    line.clear();
    return read_line_bytes([&](char c) { line.push_back(static_cast<uint8_t>(c)); });
}

bool terminal_read_hidden_line(SecretBytes &line) {
    if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) return terminal_read_secret_line(line);
    const int signals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGTSTP};
    void (*previous[5])(int);
    for (int i = 0; i < 5; ++i)
        previous[i] = std::signal(signals[i], restore_echo_and_reraise);
    struct termios hidden = saved_mode;
    hidden.c_lflag &= static_cast<tcflag_t>(~ECHO);
    hidden.c_lflag |= ECHONL;
    echo_off = tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden) == 0;
    bool got = terminal_read_secret_line(line);
    if (echo_off) tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    echo_off = 0;
    for (int i = 0; i < 5; ++i)
        std::signal(signals[i], previous[i]);
    return got;
}
