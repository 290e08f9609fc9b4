#include "cli/password_source.h"

#include "platform/file_system.h"
#include "platform/secret_line.h"

namespace cli {

bool ReadPasswordLine(const std::string &file, ui::SecureString &password, std::string &error) {
    using platform::LineRead;
    const bool standardInput = file == "-";
    const std::string source = standardInput ? "standard input" : "the password file " + file;
    LineRead got = LineRead::Failed;
    if (standardInput) {
        got = platform::read_secret_line(password);
    } else if (auto in = platform::file_system().open_stream(file)) {
        got = platform::read_secret_line(*in, password);
    }
    switch (got) {
    case LineRead::Line:
    case LineRead::End: // an empty input: an empty password, as from an empty line
        if (password.find('\0') == ui::SecureString::npos) return true;
        ui::SecureWipe(password);
        error = "the password in " + source + " contains a NUL byte, which a password cannot hold";
        return false;
    case LineRead::Interrupted:
        error = "interrupted";
        return false;
    case LineRead::TooLong:
        error = "the password in " + source + " is longer than " +
                std::to_string(platform::SECRET_LINE_MAX) + " bytes";
        return false;
    case LineRead::Failed:
        break;
    }
    error = "cannot read " + source;
    return false;
}

} // namespace cli
