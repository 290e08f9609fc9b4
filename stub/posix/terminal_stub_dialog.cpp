#include "stub/posix/terminal_stub_dialog.h"

#include "platform/file_system.h"
#include "platform/terminal.h"
#include "stub/posix/terminal_input.h"
#include "stub/stub_messages.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using platform::terminal::write_error;

} // namespace

TerminalStubDialog::TerminalStubDialog() : interactive_(platform::terminal::input_is_terminal()) {}

// Asks until a password is given. False when the input ends first (the dialog then closes
// without a password) or Ctrl-C is pressed (`cancelled` is set).
bool TerminalStubDialog::read_password(SecretBytes &password, bool &cancelled) {
    for (;;) {
        if (interactive_) write_error("Password: ");
        LineResult got;
        {
            platform::terminal::EchoOff hidden;
            got = terminal_read_secret_line(password);
        }
        if (got != LineResult::Line) {
            cancelled = got == LineResult::Interrupted;
            password.clear();
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
    if (terminal_read_line(answer) != LineResult::Line) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool TerminalStubDialog::ask_password_and_output(const std::string &proposed, SecretBytes &password,
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
        LineResult got = terminal_read_line(name);
        if (got == LineResult::Interrupted) break;
        if (got == LineResult::End || name.empty()) name = proposed;
        if (!platform::file_system().exists(name) || confirm_replace(name)) {
            output_path = name;
            return true;
        }
        // A script that declines has no other name to offer: the dialog is cancelled.
        if (!interactive_ || platform::terminal::interrupt_take()) break;
    }
    password.clear();
    return false;
}

void TerminalStubDialog::show_message(const char *text) {
    write_error(std::string(STUB_CAPTION) + ": " + text + "\n");
}

bool TerminalStubDialog::open_with_associated_program(const std::string &path) {
    // Started and waited for here, unlike a detached start, so that a missing or failing
    // xdg-open is noticed and reported.
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    char program[] = "xdg-open";
    // A name that starts with "-" must not be taken for an option.
    std::string argument = path.starts_with('-') ? "./" + path : path;
    char *arguments[] = {program, argument.data(), nullptr};
    pid_t child;
    int spawned = posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
