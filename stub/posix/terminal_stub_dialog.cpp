#include "stub/posix/terminal_stub_dialog.h"

#include "platform/file_system.h"
#include "stub/posix/terminal_input.h"
#include "stub/stub_messages.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

TerminalStubDialog::TerminalStubDialog() : interactive_(isatty(STDIN_FILENO) == 1) {}

bool TerminalStubDialog::read_password(SecretBytes &password) {
    for (;;) {
        if (interactive_) std::fputs("Password: ", stderr);
        bool got = interactive_ ? terminal_read_hidden_line(password)
                                : terminal_read_secret_line(password);
        if (!got) return false; // end of input: the dialog closes without a password
        if (!password.empty()) return true;
        show_message(STUB_MSG_ENTER_PASSWORD);
    }
}

bool TerminalStubDialog::confirm_replace(const std::string &path) {
    if (interactive_)
        std::fprintf(stderr, "%s already exists.\nDo you want to replace it? [y/N] ", path.c_str());
    std::string answer;
    if (!terminal_read_line(answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool TerminalStubDialog::ask_password_and_output(const std::string &proposed, SecretBytes &password,
                                                 std::string &output_path) {
    if (interactive_) std::fprintf(stderr, "%s\n\n%s\n\n", STUB_DIALOG_TITLE, STUB_DIALOG_TEXT);
    if (!read_password(password)) {
        password.clear();
        return true;
    }
    for (;;) {
        if (interactive_) std::fprintf(stderr, "File name [%s]: ", proposed.c_str());
        std::string name;
        if (!terminal_read_line(name) || name.empty()) name = proposed;
        if (!platform::file_system().exists(name)) {
            output_path = name;
            return true;
        }
        if (confirm_replace(name)) {
            output_path = name;
            return true;
        }
        if (!interactive_) {
            // A script that declines has no second name to offer on a later line it did not
            // expect to be asked for: the dialog is cancelled.
            password.clear();
            return false;
        }
    }
}

void TerminalStubDialog::show_message(const char *text) {
    std::fprintf(stderr, "%s: %s\n", STUB_CAPTION, text);
}

bool TerminalStubDialog::open_with_associated_program(const std::string &path) {
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
