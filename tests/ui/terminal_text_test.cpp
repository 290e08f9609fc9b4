// Bytes from files and file names on their way to a terminal.
#include "ui/terminal_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalText, ControlsAndBrokenUtf8BecomeVisibleValidUtf8Stays) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"\x1b]0;owned\x07", "\\x1B]0;owned\\x07"}, // title change
        {"\x1b[2J\x1b[H", "\\x1B[2J\\x1B[H"},       // clear screen
        {std::string("a\0b", 3), "a\\x00b"},
        {"tab\tline\ncr\r\x7f", "tab\\x09line\\x0Acr\\x0D\\x7F"},
        {"\xc2\x9b"
         "2J",
         "\\xC2\\x9B2J"},  // C1 CSI in UTF-8
        {"\x9b", "\\x9B"}, // C1 CSI as a bare byte
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x91", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x91"},
        {"\xc2\xa0", "\xc2\xa0"},                     // first code point after the C1 range
        {"\xff\xfe", "\\xFF\\xFE"},                   // never in UTF-8
        {"\xe2\x82", "\\xE2\\x82"},                   // cut short
        {"\xc0\xaf", "\\xC0\\xAF"},                   // overlong '/'
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},          // surrogate
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // above U+10FFFF
        {"\xe2x", "\\xE2x"},                          // continuation missing
    };
    for (const auto &c : cases)
        EXPECT_EQ(ui::EscapeForTerminal(c.in), c.out) << testing::PrintToString(c.in);
}

} // namespace
