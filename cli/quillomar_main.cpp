// quillomar: the Encrypt, Decrypt and Info commands of the context menu, with the paths of the
// command line as the selection.
#include "cli/cli_options.h"
#include "cli/command_run.h"
#include "platform/terminal.h"
#include "ui/console/console_backend.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/utf16.h"
#endif

namespace {

using cli::kExitUsage;

void Say(const std::string &text) {
    platform::terminal::write_error(text);
}

void SayLine(const std::string &line) {
    Say("quillomar: " + line + "\n");
}

// Prints a message box's text to standard output (the Info command's answer).
class PrintingBackend final : public ui::Backend {
public:
    int RunModal(ui::TForm &) override { return 2; }
    void ShowModeless(ui::TForm &) override {}
    void Repaint(ui::TForm &) override {}
    void HideModeless(ui::TForm &) override {}
    void ProcessMessages() override {}
    int RunMessageBox(ui::WindowHandle, const std::string &text, const std::string &,
                      unsigned) override {
        std::fputs(text.c_str(), stdout);
        if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
        std::fflush(stdout);
        return ui::idOK;
    }
    void OpenUrl(const std::string &) override {}
};

int Run(const std::vector<std::string> &arguments) {
    const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        Say("quillomar: " + parsed.error + "\n" + cli::UsageText() +
            "Try 'quillomar --help' for more.\n");
        return kExitUsage;
    }
    switch (parsed.options.command) {
    case cli::Command::Help:
        std::fputs(cli::HelpText(parsed.options.helpFor).c_str(), stdout);
        return 0;
    case cli::Command::ListOptions:
        std::fputs(cli::OptionListText().c_str(), stdout);
        return 0;
    case cli::Command::Version:
        std::fputs(cli::VersionText().c_str(), stdout);
        return 0;
    case cli::Command::Info: {
        PrintingBackend printer;
        return cli::RunInfo(parsed.options.paths.front(), printer, SayLine);
    }
    default: {
        ui::ConsoleBackend console;
        return cli::RunBatch(parsed.options, console, SayLine);
    }
    }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t **argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(platform::win32::narrow(argv[i]));
    return Run(arguments);
}
#else
int main(int argc, char **argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
