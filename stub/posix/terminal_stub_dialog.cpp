#include "stub/posix/terminal_stub_dialog.h"

#include "platform/file_system.h"
#include "platform/secret_line.h"
#include "platform/terminal.h"
#include "stub/stub_messages.h"

namespace {

using platform::LineRead;
using platform::terminal::write_error;

// One line of an answer that is no secret (a file name, yes or no).
LineRead read_answer(std::string &answer) {
    platform::SecureString line;
    LineRead got = platform::read_secret_line(line);
    answer.assign(line.data(), line.size());
    return got;
}

} // namespace

TerminalStubDialog::TerminalStubDialog() : interactive_(platform::terminal::input_is_terminal()) {}

// Asks until a password is given. False when the input ends first (the dialog then closes
// without a password), or Ctrl-C is pressed or the line is too long for a password (`cancelled`
// is set).
bool TerminalStubDialog::read_password(platform::SecureString &password, bool &cancelled) {
    for (;;) {
        if (interactive_) write_error("Password: ");
        LineRead got;
        {
            platform::terminal::EchoOff hidden;
            got = platform::read_secret_line(password);
        }
        if (got != LineRead::Line) {
            cancelled = got != LineRead::End; // Ctrl-C, or too long to be a password
            return false;
        }
        if (!password.empty()) return true;
        show_message(STUB_MSG_ENTER_PASSWORD);
    }
}

// Asks whether `path` may be replaced: "y" or "yes" agrees, anything else declines.
bool TerminalStubDialog::confirm_replace(const std::string &path) {
    if (interactive_) write_error(path + " already exists.\nDo you want to replace it? [y/N] ");
    std::string answer;
    if (read_answer(answer) != LineRead::Line) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool TerminalStubDialog::ask_password_and_output(const std::string &proposed,
                                                 platform::SecureString &password,
                                                 std::string &output_path) {
    platform::terminal::InterruptCatch ctrl_c;
    if (interactive_) {
        write_error(std::string(STUB_DIALOG_TITLE) + "\n\n" + STUB_DIALOG_TEXT + "\n\n");
    }
    bool cancelled = false;
    if (!read_password(password, cancelled)) return !cancelled; // no password: the flow says so
    for (;;) {
        if (interactive_) write_error("File name [" + proposed + "]: ");
        std::string name;
        LineRead got = read_answer(name);
        if (got == LineRead::Interrupted || got == LineRead::TooLong) break;
        if (got == LineRead::End || name.empty()) name = proposed;
        if (!platform::file_system().exists(name) || confirm_replace(name)) {
            output_path = name;
            return true;
        }
        // A script that declines has no other name to offer: the dialog is cancelled.
        if (!interactive_ || platform::terminal::interrupt_take()) break;
    }
    platform::SecureWipe(password);
    return false;
}

void TerminalStubDialog::show_message(const char *text) {
    showed_message_ = true;
    write_error(std::string(STUB_CAPTION) + ": " + text + "\n");
}
