// quillomar-gui: the command line of `quillomar` with the dialogs, the progress window, the
// Info answer and every message box as windows, for the file managers' menus and launchers.
#include "cli/cli_options.h"
#include "cli/command_run.h"
#include "platform/terminal.h"
#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Told on standard error and, when a person is there (not a run with --password-file), in a
// window: a program started from a file manager has no terminal.
void Tell(ui::Backend &windows, const std::string &text, bool window) {
    platform::terminal::write_error("quillomar-gui: " + text + "\n");
    if (window)
        windows.RunMessageBox(nullptr, text, "Orvanel Quillomar", ui::mbOK | ui::mbIconHand);
}

int Run(const std::vector<std::string> &arguments) {
    ui::QtBackend windows;
    const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
    const bool person = !parsed.options.passwordFile;
    auto say = [&](const std::string &line) { Tell(windows, line, person); };
    if (!parsed.error.empty()) {
        Tell(windows, parsed.error + "\n" + cli::UsageText(), true);
        return cli::kExitUsage;
    }
    if (cli::PrintText(parsed.options)) return 0;
    if (parsed.options.command == cli::Command::Info)
        return cli::RunInfo(parsed.options.paths.front(), windows, say);
    return cli::RunBatch(parsed.options, windows, say);
}

} // namespace

int main(int argc, char **argv) {
    // Qt sees only the program's name: a path such as "-reverse" or "-style" is a file to
    // work on, never an option of the toolkit (its settings come from the environment).
    std::vector<std::string> arguments(argv + 1, argv + argc);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QApplication::setApplicationName("quillomar-gui");
    QApplication::setWindowIcon(QIcon(":/qxv/MAINICON"));
    return Run(arguments);
}
