// Line input from standard input without stdio buffering, so that a password read here is held
// nowhere but in the caller's wiped buffer.
#pragma once

#include "stub/secret_bytes.h"

#include <string>

// Reads one line (without its line end, and without a carriage return before it). False at the
// end of input when nothing was read.
bool terminal_read_line(std::string &line);
bool terminal_read_secret_line(SecretBytes &line);

// Reads a line from the terminal with echo off; echo comes back even when the program is
// interrupted meanwhile.
bool terminal_read_hidden_line(SecretBytes &line);
