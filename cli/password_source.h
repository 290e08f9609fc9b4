// The password of an unattended run: the first line of a file, or of standard input for "-",
// without its line end.
#pragma once

#include "ui/secure_string.h"

#include <string>

namespace cli {

// False (and `error` set) when the file cannot be read.
bool ReadPasswordLine(const std::string &file, ui::SecureString &password, std::string &error);

} // namespace cli
