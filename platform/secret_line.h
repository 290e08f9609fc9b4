// Reads one line of secret text (a password, or an answer typed next to one) from standard
// input, a terminal or a pipe, or from a file. The rules are the same everywhere: a line ends
// at LF; a CR just before the line end is dropped (CR LF files), other CRs are kept; the end of
// input ends the last line. Standard input is read one byte at a time, so the next line is left
// for the next read and no copy of the secret stays in a stdio buffer.
#pragma once

#include "platform/file_system.h"
#include "platform/secure_string.h"

#include <cstddef>

namespace platform {

// The longest line taken: 255 characters, the longest password the dialogs were made for, take
// at most 1020 bytes in UTF-8; the bound leaves room to spare and keeps the read bounded.
constexpr std::size_t SECRET_LINE_MAX = 4096;

enum class LineRead {
    Line,        // `line` holds the line without its line end
    End,         // the input ended before a byte of this line was read
    Interrupted, // Ctrl-C, while Ctrl-C is caught (terminal::InterruptCatch)
    TooLong,     // more than SECRET_LINE_MAX bytes before the line end; reading stopped there
    Failed,      // the file could not be read
};

// Anything but Line leaves `line` wiped and empty.
LineRead read_secret_line(SecureString &line);
LineRead read_secret_line(File &file, SecureString &line);

} // namespace platform
