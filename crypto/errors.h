// The toolkit's error bits. Every toolkit routine returns 0 or one of these; several may be
// combined in a 16-bit error word for printing.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int ERR_PROGRESS_CANCEL = 1;
constexpr int ERR_SUBTRACTION_NEGATIVE = 2;
constexpr int ERR_ALLOCATION = 4;
constexpr int ERR_CALCULATION_OVERFLOW = 8;
constexpr int ERR_RSA_RANDOM = 16;
constexpr int ERR_INVALID_PARAMETER = 32;
constexpr int ERR_DIVISION_BY_ZERO = 64;
constexpr int ERR_KEY_GENERATION = 128;
constexpr int ERR_SIGNATURE = 256;
constexpr int ERR_NO_INVERSE = 512;
constexpr int ERR_NOT_PRIME = 1024;
constexpr int ERR_PROBABLE_PRIME = 2048;
constexpr int ERR_GENERAL = 4096;
constexpr int ERR_FILE_IO = 8192;
constexpr int ERR_API = 32768;

// The text of one error bit ("[Invalid parameter]"), or nullptr for a value that is not one.
const char *errors_text(uint32_t bit);

// Prints the text of every bit set in `error`, lowest bit first, each followed by a line end.
void errors_print(std::FILE *stream, uint16_t error);
