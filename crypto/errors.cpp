#include "crypto/errors.h"

namespace {
const char *const kTexts[16] = {
    "[Progress Cancel]",
    "[Subtraction result negative]",
    "[Allocation problem]",
    "[Calculation oveflow]",
    "[RSA random generator error]",
    "[Invalid parameter]",
    "[Division by 0 attempted]",
    "[Key generation failure]",
    "[Signature not verified]",
    "[Inverse does not exist]",
    "[Number not prime]",
    "[Number probable prime]",
    "[General error]",
    "[File I/O error]",
    nullptr,
    "[API related error]",
};
} // namespace

const char *errors_text(uint32_t bit) {
    for (unsigned i = 0; i < 16; ++i) {
        if (bit == (1u << i)) return kTexts[i];
    }
    return nullptr;
}

void errors_print(std::FILE *stream, uint16_t error) {
    for (unsigned i = 0; i < 16; ++i) {
        if ((error & (1u << i)) != 0 && kTexts[i] != nullptr)
            std::fprintf(stream, "%s\n", kTexts[i]);
    }
}
