// Line input from standard input one byte at a time (no stdio buffer), so that a password read
// here is held nowhere but in the caller's wiped buffer.
#pragma once

#include "stub/secret_bytes.h"

#include <string>

enum class LineResult { Line, End, Interrupted };

// Reads one line, without its line end and a carriage return before it. End: the input ended
// before anything was read. Interrupted: Ctrl-C was pressed.
LineResult terminal_read_line(std::string &line);
LineResult terminal_read_secret_line(SecretBytes &line);
