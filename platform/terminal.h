// The terminal as the console dialogs need it: is input a terminal, reading bytes with or
// without echo, writing to standard error, and catching Ctrl-C as a flag.
#pragma once

#include <string_view>

namespace platform::terminal {

bool input_is_terminal();
bool error_is_terminal();
// Width of the terminal on standard error in columns; 80 when unknown.
int error_width();

enum class ReadResult { Byte, End, Interrupted };
// One byte of standard input. End: end of input (Ctrl-D on an empty line of a terminal).
// Interrupted: Ctrl-C was pressed while Ctrl-C is caught (see InterruptCatch).
ReadResult read_byte(char &c);

// Writes all of `text` to standard error.
void write_error(std::string_view text);

// While one exists, terminal input is not echoed (no effect when input is not a terminal).
class EchoOff {
public:
    EchoOff();
    ~EchoOff();
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    bool active_ = false;
    alignas(16) unsigned char saved_[128] = {}; // the previous terminal mode (platform-specific)
};

// While one exists, Ctrl-C only raises a flag (and interrupts a pending read) instead of
// ending the program. Nesting is allowed.
class InterruptCatch {
public:
    InterruptCatch();
    ~InterruptCatch();
    InterruptCatch(const InterruptCatch &) = delete;
    InterruptCatch &operator=(const InterruptCatch &) = delete;
};

// Returns whether Ctrl-C was pressed since the last call, and clears the flag.
bool interrupt_take();

} // namespace platform::terminal
