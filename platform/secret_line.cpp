#include "platform/secret_line.h"

#include "platform/terminal.h"

namespace platform {
namespace {

enum class Next { Byte, End, Interrupted, Failed };

// One line from `next`, which gives one byte at a time. The whole bound is reserved at once, so
// the line never moves to a larger buffer and leaves no copy behind.
template <typename NextByte> LineRead read_line(SecureString &line, NextByte next) {
    SecureWipe(line);
    line.reserve(SECRET_LINE_MAX);
    auto fail = [&line](LineRead why) {
        SecureWipe(line);
        return why;
    };
    auto append = [&line](char c) {
        if (line.size() == SECRET_LINE_MAX) return false;
        line.push_back(c);
        return true;
    };
    bool any = false;
    bool pending_cr = false; // kept only once a byte other than the line end follows it
    for (;;) {
        char c = 0;
        switch (next(c)) {
        case Next::End:
            return any ? LineRead::Line : fail(LineRead::End);
        case Next::Interrupted:
            return fail(LineRead::Interrupted);
        case Next::Failed:
            return fail(LineRead::Failed);
        case Next::Byte:
            break;
        }
        any = true;
        if (c == '\n') return LineRead::Line;
        if (pending_cr && !append('\r')) return fail(LineRead::TooLong);
        pending_cr = c == '\r';
        if (!pending_cr && !append(c)) return fail(LineRead::TooLong);
    }
}

} // namespace

LineRead read_secret_line(SecureString &line) {
    return read_line(line, [](char &c) {
        switch (terminal::read_byte(c)) {
        case terminal::ReadResult::Byte:
            return Next::Byte;
        case terminal::ReadResult::End:
            return Next::End;
        case terminal::ReadResult::Interrupted:
            break;
        }
        return Next::Interrupted;
    });
}

LineRead read_secret_line(File &file, SecureString &line) {
    char buffer[256];
    size_t got = 0, used = 0;
    const LineRead result = read_line(line, [&](char &c) {
        if (used == got) {
            used = got = 0;
            if (!file.read(buffer, sizeof buffer, &got)) return Next::Failed;
            if (got == 0) return Next::End;
        }
        c = buffer[used++];
        return Next::Byte;
    });
    SecureZero(buffer, sizeof buffer);
    return result;
}

} // namespace platform
