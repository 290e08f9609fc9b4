// qxvsd: decrypts the container appended to its own file, or the file named as its argument.
#include "platform/file_system.h"
#include "stub/posix/terminal_stub_dialog.h"
#include "stub/stub_flow.h"
#include "stub/stub_paths.h"

int main(int argc, char **argv) {
    std::string input =
        stub_input_path(argc > 1 ? argv[1] : "", platform::file_system().module_path());
    TerminalStubDialog dialog;
    return stub_exit_code(qxvsd_run(input, dialog));
}
