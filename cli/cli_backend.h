// The dialogs of `quillomar`. Interactive runs hand every form and message box to the console
// backend, with the check box preset from --exe/--keep (and then not asked). The progress
// window is not shown: the terminal progress line (cli/terminal_progress.h) takes its place,
// taken off the terminal before every question and message. Unattended runs (--password-file)
// accept the password dialog through its own unattended acceptance (password, option, what its
// button saves, no default-password check), print every message box to standard error as "caption:
// text" and answer it from the options.
#pragma once

#include "ui/backend.h"
#include "ui/console/console_backend.h"
#include "ui/secure_string.h"

#include <optional>
#include <string>

namespace ui {
class TForm1;
}

namespace cli {

class TerminalProgress;

struct Answers {
    std::optional<bool> option; // the check box's state; unset: as the dialog loads it
    std::optional<ui::SecureString> password; // set: unattended
    bool answerYes = false;
    bool stopOnError = false;
    bool quiet = false; // no progress window (windows only; the terminal line has its own)
};

class CliBackend final : public ui::Backend {
public:
    // `interactive` shows the dialogs (may be null when the run is unattended): the terminal's
    // console backend, or windows (then the progress window is shown unless `quiet`).
    CliBackend(ui::Backend *interactive, Answers answers);
    // The terminal's progress line, which stands for the progress window: cleared before
    // messages, handed Ctrl-C between files.
    void SetProgress(TerminalProgress *progress) { progress_ = progress; }
    ~CliBackend() override;

    int RunModal(ui::TForm &form) override;
    void ShowModeless(ui::TForm &form) override;
    void Repaint(ui::TForm &form) override;
    void HideModeless(ui::TForm &form) override;
    void ProcessMessages() override;
    int RunMessageBox(ui::WindowHandle owner, const std::string &text, const std::string &caption,
                      unsigned style) override;
    void OpenUrl(const std::string &url) override;
    // "quillomar: PATH: REMARK" on standard error, the name escaped.
    void Notice(const std::string &path, const std::string &remark) override;

    // Why the password dialog was refused (an unattended run that cannot go on), or empty.
    const std::string &Refusal() const { return refusal_; }

    // After "Invalid Password" in an interactive run: offers to enter the password again for
    // `path` and the remaining files. False when unattended, declined (then not offered again)
    // or cancelled.
    bool AskPasswordAgain(const std::string &path, ui::SecureString &password);

private:
    bool Unattended() const { return answers_.password.has_value(); }
    bool ShowsProgressWindow() const;
    int AcceptPasswordDialog(ui::TForm1 &dialog);

    ui::Backend *interactive_;
    ui::ConsoleBackend *console_; // interactive_ when it is the terminal's
    TerminalProgress *progress_ = nullptr;
    bool againDeclined_ = false;
    Answers answers_;
    std::string refusal_;
};

} // namespace cli
