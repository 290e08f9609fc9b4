// The one secret line reader: the same line-end rules from a file and from standard input, the
// bound, and standard input read no further than the line.
#include "platform/secret_line.h"
#include "tests/support/memory_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using platform::LineRead;
using platform::SECRET_LINE_MAX;

TEST(SecretLine, LineEndsEndOfInputAndTheBound) {
    const std::string longest(SECRET_LINE_MAX, 'x');
    const struct {
        std::string input;
        LineRead result;
        std::string line;
    } cases[] = {
        {"secret\n", LineRead::Line, "secret"},
        {"secret\r\n", LineRead::Line, "secret"},
        {"secret", LineRead::Line, "secret"},     // end of input ends the last line
        {"secret\r", LineRead::Line, "secret"},   // ... and its CR is a line end's
        {"a\rb\r\r\n", LineRead::Line, "a\rb\r"}, // other CRs are kept
        {std::string("a\0b\n", 4), LineRead::Line, std::string("a\0b", 3)},
        {"first\nsecond\n", LineRead::Line, "first"},
        {"\n", LineRead::Line, ""},
        {"\r\n", LineRead::Line, ""},
        {"", LineRead::End, ""},
        {longest + "\r\n", LineRead::Line, longest},
        {longest, LineRead::Line, longest},
        {longest + "x\n", LineRead::TooLong, ""},
        {longest + "\rx", LineRead::TooLong, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input.substr(0, 20)) + " of " +
                     std::to_string(c.input.size()));
        qxv_test::MemoryFile file(std::vector<uint8_t>(c.input.begin(), c.input.end()));
        platform::SecureString line = "left from before";
        EXPECT_EQ(platform::read_secret_line(file, line), c.result);
        EXPECT_EQ(std::string(platform::View(line)), c.line);
    }

    // Past the bound reading stops: a line without end is not read to its end.
    qxv_test::MemoryFile endless(std::vector<uint8_t>(16 * SECRET_LINE_MAX, 'x'));
    platform::SecureString line;
    EXPECT_EQ(platform::read_secret_line(endless, line), LineRead::TooLong);
    EXPECT_LT(endless.position(), 2 * SECRET_LINE_MAX);
}

// Standard input as a pipe: each read takes one line and leaves the rest for the next.
TEST(SecretLine, StandardInputIsReadLineByLine) {
    const std::string input = "first\r\n\nlast";
#ifdef _WIN32
    HANDLE read_end, write_end;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(write_end, input.data(), DWORD(input.size()), &written, nullptr));
    CloseHandle(write_end);
    HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, read_end);
#else
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], input.data(), input.size()), ssize_t(input.size()));
    close(ends[1]);
    const int saved = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
#endif
    platform::SecureString line;
    std::vector<std::string> lines;
    while (platform::read_secret_line(line) == LineRead::Line)
        lines.emplace_back(platform::View(line));
#ifdef _WIN32
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(read_end);
#else
    dup2(saved, STDIN_FILENO);
    close(saved);
#endif
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "", "last"}));
}

} // namespace
