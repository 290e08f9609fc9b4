// A console program started without a terminal (double-clicked in a file manager) opens itself
// in the desktop's terminal emulator: `x-terminal-emulator -e PROGRAM ARGUMENTS...`, the
// command every Debian desktop provides. POSIX systems only; Windows programs have windows.
#pragma once

#include <string>
#include <vector>

namespace platform::terminal {

// True when no standard stream is a terminal and standard input carries no answers of a script
// (it is closed or a device such as /dev/null, not a pipe, socket or file).
bool started_without_terminal();

// True when this process was started by reopen_in_terminal_emulator(). The mark is taken out of
// the environment, so that the programs this one starts do not inherit it.
bool take_terminal_emulator_mark();

// Replaces this process with the terminal emulator running `command` (the program's path and
// its arguments, each passed as one argument). Returns false, without starting anything, when
// there is no graphical session (DISPLAY or WAYLAND_DISPLAY) or no x-terminal-emulator on PATH.
bool reopen_in_terminal_emulator(const std::vector<std::string> &command);

} // namespace platform::terminal
