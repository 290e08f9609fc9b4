#include "platform/terminal.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform::terminal {
namespace {

volatile std::sig_atomic_t interrupted = 0;
int catch_depth = 0;
struct sigaction previous_action;

extern "C" void on_interrupt(int) {
    interrupted = 1;
}

} // namespace

bool input_is_terminal() {
    return ::isatty(STDIN_FILENO) == 1;
}
bool error_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

int error_width() {
    struct winsize ws;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

// Waits until standard input is readable. While Ctrl-C is caught, SIGINT is blocked except
// inside ppoll, so a Ctrl-C that comes just before the wait is not missed.
bool wait_for_input() {
    if (catch_depth == 0) return true;
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    bool ready = false;
    if (!interrupted) {
        struct pollfd p = {STDIN_FILENO, POLLIN, 0};
        ready = ::ppoll(&p, 1, nullptr, &previous) >= 0 || errno != EINTR || !interrupted;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ready && !interrupted;
}

ReadResult read_byte(char &c) {
    for (;;) {
        if (!wait_for_input()) return ReadResult::Interrupted;
        ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 1) return ReadResult::Byte;
        if (n == 0) return ReadResult::End;
        if (errno == EINTR) {
            if (interrupted) return ReadResult::Interrupted;
            continue;
        }
        return ReadResult::End;
    }
}

void write_error(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(size_t(n));
    }
}

EchoOff::EchoOff() {
    static_assert(sizeof(struct termios) <= sizeof saved_);
    struct termios mode;
    if (::tcgetattr(STDIN_FILENO, &mode) != 0) return;
    std::memcpy(saved_, &mode, sizeof mode);
    mode.c_lflag &= ~tcflag_t(ECHO);
    mode.c_lflag |= ECHONL; // the line end still shows, so the next prompt starts a line
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0;
}

EchoOff::~EchoOff() {
    if (!active_) return;
    struct termios mode;
    std::memcpy(&mode, saved_, sizeof mode);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

InterruptCatch::InterruptCatch() {
    if (catch_depth++ > 0) return;
    interrupted = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a pending read returns so the dialog can cancel
    ::sigaction(SIGINT, &action, &previous_action);
}

InterruptCatch::~InterruptCatch() {
    if (--catch_depth > 0) return;
    ::sigaction(SIGINT, &previous_action, nullptr);
}

bool interrupt_take() {
    bool was = interrupted != 0;
    interrupted = 0;
    return was;
}

} // namespace platform::terminal
