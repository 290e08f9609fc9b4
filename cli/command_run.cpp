#include "cli/command_run.h"

#include "cli/cli_backend.h"
#include "cli/password_source.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "shell/commands.h"
#include "shell/file_info.h"
#include "shell/selection.h"

#include <memory>
#include <vector>

namespace cli {

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
    ui::Backend *previous = ui::SetBackend(&backend);
    SetSelection(std::make_unique<ListSelection>(options.paths));
    const BatchOutcome outcome =
        ProcessSelection(nullptr, options.command == Command::Encrypt ? 1 : 0);
    SetSelection(nullptr);
    ui::SetBackend(previous);

    if (!backend.Refusal().empty()) say(backend.Refusal());
    return outcome.Succeeded() ? 0 : kExitFailed;
}

} // namespace cli
