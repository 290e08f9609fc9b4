#include "crypto/errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(Errors, TextsOfTheBitsTheSystemUses) {
    EXPECT_STREQ(errors_text(ERR_INVALID_PARAMETER), "[Invalid parameter]");
    EXPECT_STREQ(errors_text(ERR_GENERAL), "[General error]");
    EXPECT_STREQ(errors_text(ERR_FILE_IO), "[File I/O error]");
    EXPECT_STREQ(errors_text(ERR_CALCULATION_OVERFLOW), "[Calculation oveflow]");
    EXPECT_EQ(errors_text(16384), nullptr);
    EXPECT_EQ(errors_text(3), nullptr);
}

TEST(Errors, PrintsEveryBitSetLowestFirst) {
    std::FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    errors_print(f, ERR_INVALID_PARAMETER | ERR_FILE_IO | 16384);
    std::rewind(f);
    char buf[128] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "[Invalid parameter]\n[File I/O error]\n");
}
