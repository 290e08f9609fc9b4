// The password of an unattended run: the first line of a file, or of standard input for "-",
// without its line end (platform/secret_line.h).
#pragma once

#include "ui/secure_string.h"

#include <string>

namespace cli {

// False (and `error` set) when the input cannot be read, Ctrl-C ends the read, the line is
// longer than platform::SECRET_LINE_MAX bytes (an endless source such as /dev/zero ends there),
// or it holds a NUL byte. `file` may be a pipe or FIFO ("<(command)").
bool ReadPasswordLine(const std::string &file, ui::SecureString &password, std::string &error);

} // namespace cli
