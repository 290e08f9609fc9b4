// quillomar: the Encrypt, Decrypt and Info commands of the context menu, with the paths of the
// command line as the selection.
#include "cli/cli_backend.h"
#include "cli/cli_options.h"
#include "cli/password_source.h"
#include "cli/terminal_progress.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "shell/batch_progress.h"
#include "shell/commands.h"
#include "shell/file_info.h"
#include "shell/selection.h"
#include "ui/console/console_backend.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/utf16.h"
#endif

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130; // as a shell reports a program ended by Ctrl-C

void Say(const std::string &text) {
    platform::terminal::write_error(text);
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

int RunInfo(const std::string &path) {
    PrintingBackend printer;
    ui::Backend *previous = ui::SetBackend(&printer);
    SetSelection(std::make_unique<ListSelection>(std::vector<std::string>{path}));
    ShowFileInfo(nullptr);
    SetSelection(nullptr);
    ui::SetBackend(previous);
    const int result = LastFileInfoResult();
    if (result == -1) Say("quillomar: " + path + " is a folder\n");
    return result == 1 || result == 5 ? 0 : kExitFailed;
}

int RunBatch(const cli::Options &options) {
    for (const auto &path : options.paths) {
        if (!platform::file_system().exists(path)) {
            Say("quillomar: cannot find " + path + "\n");
            return kExitFailed;
        }
    }
    cli::Answers answers;
    answers.option = options.option;
    answers.answerYes = options.answerYes;
    answers.stopOnError = options.stopOnError;
    if (options.passwordFile) {
        ui::SecureString password;
        std::string error;
        if (!cli::ReadPasswordLine(*options.passwordFile, password, error)) {
            Say("quillomar: " + error + "\n");
            return kExitFailed;
        }
        answers.password = std::move(password);
        ui::SecureWipe(password);
    }

    ui::ConsoleBackend console;
    platform::terminal::InterruptCatch interrupts;
    cli::CliBackend backend(&console, std::move(answers));
    using Show = cli::TerminalProgress::Show;
    const Show show = options.quiet                             ? Show::Nothing
                      : platform::terminal::error_is_terminal() ? Show::Terminal
                      : options.progress                        ? Show::Lines
                                                                : Show::Nothing;
    const bool encrypt = options.command == cli::Command::Encrypt;
    cli::TerminalProgress progress(encrypt, show,
                                   [&backend](const std::string &path, ui::SecureString &password) {
                                       return backend.AskPasswordAgain(path, password);
                                   });
    backend.SetProgress(&progress);
    ui::Backend *previous = ui::SetBackend(&backend);
    SetBatchProgress(&progress);
    SetSelection(std::make_unique<ListSelection>(options.paths));
    const BatchOutcome outcome = ProcessSelection(nullptr, encrypt ? 1 : 0);
    SetSelection(nullptr);
    SetBatchProgress(nullptr);
    ui::SetBackend(previous);
    progress.Finish(outcome);

    if (!backend.Refusal().empty()) Say("quillomar: " + backend.Refusal() + "\n");
    if (progress.CutShort()) return kExitInterrupted;
    // A Ctrl-C that left nothing undone cancelled nothing.
    if (outcome.failed == 0 && (!outcome.cancelled || progress.Interrupted())) return 0;
    return kExitFailed;
}

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
    case cli::Command::Info:
        return RunInfo(parsed.options.paths.front());
    default:
        return RunBatch(parsed.options);
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
