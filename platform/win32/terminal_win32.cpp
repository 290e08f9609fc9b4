#include "platform/terminal.h"

#include <cstring>
#include <windows.h>

namespace platform::terminal {
namespace {

volatile LONG interrupted = 0;
int catch_depth = 0;

BOOL WINAPI on_control(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        InterlockedExchange(&interrupted, 1);
        return TRUE;
    }
    return FALSE;
}

bool is_console(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

} // namespace

bool input_is_terminal() {
    return is_console(STD_INPUT_HANDLE);
}
bool error_is_terminal() {
    return is_console(STD_ERROR_HANDLE);
}

int error_width() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

ReadResult read_byte(char &c) {
    DWORD n = 0;
    BOOL ok = ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &n, nullptr);
    if (interrupted) return ReadResult::Interrupted;
    if (!ok || n == 0) return ReadResult::End;
    if (c == 0x1a && input_is_terminal()) // Ctrl-Z: the console's end of input
        return ReadResult::End;
    return ReadResult::Byte;
}

void write_error(std::string_view text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    while (!text.empty()) {
        DWORD n = 0;
        if (!WriteFile(err, text.data(), DWORD(text.size()), &n, nullptr) || n == 0) return;
        text.remove_prefix(n);
    }
}

EchoOff::EchoOff() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(in, &mode)) return;
    std::memcpy(saved_, &mode, sizeof mode);
    active_ = SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
}

EchoOff::~EchoOff() {
    if (!active_) return;
    DWORD mode = 0;
    std::memcpy(&mode, saved_, sizeof mode);
    SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), mode);
    write_error("\r\n"); // the console does not echo the line end either
}

InterruptCatch::InterruptCatch() {
    if (catch_depth++ == 0) {
        InterlockedExchange(&interrupted, 0);
        SetConsoleCtrlHandler(on_control, TRUE);
    }
}

InterruptCatch::~InterruptCatch() {
    if (--catch_depth == 0) SetConsoleCtrlHandler(on_control, FALSE);
}

bool interrupt_take() {
    return InterlockedExchange(&interrupted, 0) != 0;
}

} // namespace platform::terminal
