// quillomar: the Encrypt, Decrypt and Info commands of the context menu, with the paths of the
// command line as the selection.
#include "cli/cli_backend.h"
#include "cli/cli_options.h"
#include "cli/password_source.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "shell/commands.h"
#include "shell/file_info_report.h"
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

void Say(const std::string &text) {
    platform::terminal::write_error(text);
}

int RunInfo(const cli::Options &options) {
    const FileInfoReport report = InspectFile(options.paths.front());
    const std::string text = options.json ? FormatFileInfoJson(report) : FormatFileInfoText(report);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return ReportIsContainer(report) ? 0 : kExitFailed;
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
    answers.quiet = options.quiet;
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
    ui::Backend *previous = ui::SetBackend(&backend);
    SetSelection(std::make_unique<ListSelection>(options.paths));
    const BatchOutcome outcome =
        ProcessSelection(nullptr, options.command == cli::Command::Encrypt ? 1 : 0);
    SetSelection(nullptr);
    ui::SetBackend(previous);

    if (!backend.Refusal().empty()) Say("quillomar: " + backend.Refusal() + "\n");
    return outcome.Succeeded() ? 0 : kExitFailed;
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
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    case cli::Command::Version:
        std::fputs(cli::VersionText().c_str(), stdout);
        return 0;
    case cli::Command::Info:
        return RunInfo(parsed.options);
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
