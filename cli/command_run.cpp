#include "cli/command_run.h"

#include "cli/cli_backend.h"
#include "cli/password_source.h"
#include "cli/terminal_progress.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "shell/batch_progress.h"
#include "shell/commands.h"
#include "shell/file_info.h"
#include "shell/selection.h"
#include "ui/batch_state.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace cli {

bool PrintText(const Options &options) {
    std::string text;
    switch (options.command) {
    case Command::Help:
        text = HelpText(options.helpFor);
        break;
    case Command::ListOptions:
        text = OptionListText();
        break;
    case Command::Version:
        text = VersionText();
        break;
    default:
        return false;
    }
    std::fputs(text.c_str(), stdout);
    return true;
}

int RunInfo(const std::string &path, ui::Backend &shower, const Reporter &say) {
    ui::Backend *previous = ui::SetBackend(&shower);
    SetSelection(std::make_unique<ListSelection>(std::vector<std::string>{path}));
    ShowFileInfo(nullptr);
    SetSelection(nullptr);
    ui::SetBackend(previous);
    const int result = LastFileInfoResult();
    if (result == -1) say(path + " is a folder");
    return result == 1 || result == 5 ? 0 : kExitFailed;
}

int RunBatch(const Options &options, ui::Backend &interactive, const Reporter &say) {
    for (const auto &path : options.paths) {
        if (!platform::file_system().exists(path)) {
            say("cannot find " + path);
            return kExitFailed;
        }
    }
    Answers answers;
    answers.option = options.option;
    answers.answerYes = options.answerYes;
    answers.stopOnError = options.stopOnError;
    answers.quiet = options.quiet;
    if (options.passwordFile) {
        ui::SecureString password;
        std::string error;
        if (!ReadPasswordLine(*options.passwordFile, password, error)) {
            say(error);
            return kExitFailed;
        }
        answers.password = std::move(password);
        ui::SecureWipe(password);
    }

    platform::terminal::InterruptCatch interrupts;
    CliBackend backend(&interactive, std::move(answers));
    // In a terminal the progress line stands for the progress window; windows show the window.
    std::optional<TerminalProgress> progress;
    const bool encrypt = options.command == Command::Encrypt;
    if (dynamic_cast<ui::ConsoleBackend *>(&interactive)) {
        using Show = TerminalProgress::Show;
        const Show show = options.quiet                             ? Show::Nothing
                          : platform::terminal::error_is_terminal() ? Show::Terminal
                          : options.progress                        ? Show::Lines
                                                                    : Show::Nothing;
        progress.emplace(encrypt, show,
                         [&backend](const std::string &path, ui::SecureString &password) {
                             return backend.AskPasswordAgain(path, password);
                         });
        backend.SetProgress(&*progress);
        SetBatchProgress(&*progress);
    }
    ui::Backend *previous = ui::SetBackend(&backend);
    SetSelection(std::make_unique<ListSelection>(options.paths));
    ui::Batch.Jobs = options.jobs;
    const BatchOutcome outcome = ProcessSelection(nullptr, encrypt ? 1 : 0);
    SetSelection(nullptr);
    SetBatchProgress(nullptr);
    ui::SetBackend(previous);
    if (progress) progress->Finish(outcome);

    if (!backend.Refusal().empty()) say(backend.Refusal());
    if (progress && progress->CutShort()) return kExitInterrupted;
    // A Ctrl-C that left nothing undone cancelled nothing.
    const bool interrupted = progress && progress->Interrupted();
    return outcome.failed == 0 && (!outcome.cancelled || interrupted) ? 0 : kExitFailed;
}

} // namespace cli
