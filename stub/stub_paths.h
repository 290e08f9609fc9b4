// The stub's two path rules: which file to decrypt, and which name to propose for the result.
#pragma once

#include <string>

// The path given on the command line (surrounding blanks and one pair of quotes removed), or
// the stub's own path when none is given.
std::string stub_input_path(const std::string &arguments, const std::string &own_path);

// The input path without the extension of its file name ("report.doc.exe" -> "report.doc"); a
// name without one (dots in folder names and a leading dot do not count) gets ".dec" appended.
std::string stub_default_output_name(const std::string &input_path);
