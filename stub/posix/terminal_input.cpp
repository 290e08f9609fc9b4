#include "stub/posix/terminal_input.h"

#include "platform/terminal.h"

namespace {

// Calls `take` for each byte of one line of standard input.
template <typename Take> LineResult read_line_bytes(Take take) {
    bool any = false;
    bool pending_cr = false;
    for (;;) {
        char c;
        switch (platform::terminal::read_byte(c)) {
        case platform::terminal::ReadResult::Interrupted:
            return LineResult::Interrupted;
        case platform::terminal::ReadResult::End:
            return any ? LineResult::Line : LineResult::End;
        case platform::terminal::ReadResult::Byte:
            break;
        }
        any = true;
        if (c == '\n') return LineResult::Line;
        if (pending_cr) take('\r');
        pending_cr = c == '\r';
        if (!pending_cr) take(c);
    }
}

} // namespace

LineResult terminal_read_line(std::string &line) {
    line.clear();
    return read_line_bytes([&](char c) { line.push_back(c); });
}

LineResult terminal_read_secret_line(SecretBytes &line) {
    line.clear();
    return read_line_bytes([&](char c) { line.push_back(static_cast<uint8_t>(c)); });
}
