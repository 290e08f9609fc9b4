// qxvsd: decrypts the container appended to its own file, or the file named as its argument.
// Double-clicked in a file manager it has no terminal to ask in: it opens itself in the
// desktop's terminal emulator, and there waits for Enter before a message closes with the window.
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "platform/terminal_emulator.h"
#include "stub/posix/terminal_stub_dialog.h"
#include "stub/stub_flow.h"
#include "stub/stub_messages.h"
#include "stub/stub_paths.h"

#include <string>
#include <vector>

int main(int argc, char **argv) {
    namespace terminal = platform::terminal;
    const std::string module = platform::file_system().module_path();
    const bool in_emulator = terminal::take_terminal_emulator_mark();
    TerminalStubDialog dialog;
    if (!in_emulator && terminal::started_without_terminal()) {
        std::vector<std::string> command = {module};
        command.insert(command.end(), argv + 1, argv + argc);
        terminal::reopen_in_terminal_emulator(command); // returns only when it could not
        dialog.show_message(STUB_MSG_NO_TERMINAL);
        return stub_exit_code(StubOutcome::Failed);
    }
    std::string input = stub_input_path(argc > 1 ? argv[1] : "", module);
    const StubOutcome outcome = qxvsd_run(input, dialog);
    if (in_emulator && (outcome != StubOutcome::Decrypted || dialog.showed_message())) {
        terminal::write_error(STUB_PRESS_ENTER);
        char c;
        while (terminal::read_byte(c) == terminal::ReadResult::Byte && c != '\n') {
        }
    }
    return stub_exit_code(outcome);
}
