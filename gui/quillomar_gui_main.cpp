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

// Told in a window (there may be no terminal) and on standard error.
void Tell(ui::Backend &windows, const std::string &text, unsigned icon) {
    platform::terminal::write_error("quillomar-gui: " + text + "\n");
    windows.RunMessageBox(nullptr, text, "Orvanel Quillomar", ui::mbOK | icon);
}

int Run(const std::vector<std::string> &arguments) {
    ui::QtBackend windows;
    auto say = [&](const std::string &line) { Tell(windows, line, ui::mbIconHand); };
    const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        Tell(windows, parsed.error + "\n" + cli::UsageText(), ui::mbIconHand);
        return cli::kExitUsage;
    }
    switch (parsed.options.command) {
    case cli::Command::Help:
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    case cli::Command::Version:
        std::fputs(cli::VersionText().c_str(), stdout);
        return 0;
    case cli::Command::Info:
        return cli::RunInfo(parsed.options.paths.front(), windows, say);
    default:
        return cli::RunBatch(parsed.options, windows, say);
    }
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
