#include "cli/cli_backend.h"

#include "cli/terminal_progress.h"
#include "platform/secret_line.h"
#include "platform/terminal.h"
#include "ui/Qxvpop1.h"
#include "ui/batch_state.h"
#include "ui/confirm_common.h"
#include "ui/terminal_text.h"

namespace cli {

CliBackend::CliBackend(ui::Backend *interactive, Answers answers)
    : interactive_(interactive), console_(dynamic_cast<ui::ConsoleBackend *>(interactive)),
      answers_(std::move(answers)) {}

CliBackend::~CliBackend() {
    if (answers_.password) ui::SecureWipe(*answers_.password);
}

int CliBackend::AcceptPasswordDialog(ui::TForm1 &dialog) {
    switch (dialog.AcceptUnattended(ui::View(*answers_.password), answers_.option)) {
    case ui::TForm1::Unattended::OptionUnavailable:
        refusal_ = "self-decrypting files cannot be made here (the stub program is missing "
                   "beside quillomar, or the selection is one folder)";
        break;
    case ui::TForm1::Unattended::PasswordTooShort:
        refusal_ = ui::PasswordTooShortHint;
        break;
    case ui::TForm1::Unattended::Accepted:
        break;
    }
    return dialog.ModalResult;
}

int CliBackend::RunModal(ui::TForm &form) {
    if (progress_) progress_->ClearLine();
    auto *passwordDialog = dynamic_cast<ui::TForm1 *>(&form);
    if (Unattended()) {
        if (passwordDialog) return AcceptPasswordDialog(*passwordDialog);
        form.UserCloseBox(); // nothing else is asked without a person
        if (form.ModalResult == ui::mrNone) form.ModalResult = ui::mrCancel;
        return form.ModalResult;
    }
    if (passwordDialog && answers_.option) {
        passwordDialog->PresetOption(*answers_.option);
        // The terminal asks no question the command line answered; a window shows it set.
        if (console_) return console_->RunModal(form, {passwordDialog->cbxCreate});
    }
    return interactive_->RunModal(form);
}

bool CliBackend::ShowsProgressWindow() const {
    return !progress_ && !answers_.quiet && !Unattended() && interactive_;
}

void CliBackend::ShowModeless(ui::TForm &form) {
    if (ShowsProgressWindow()) interactive_->ShowModeless(form);
}

void CliBackend::Repaint(ui::TForm &form) {
    if (ShowsProgressWindow()) interactive_->Repaint(form);
}

void CliBackend::HideModeless(ui::TForm &form) {
    if (ShowsProgressWindow()) interactive_->HideModeless(form);
}

void CliBackend::ProcessMessages() {
    if (ShowsProgressWindow()) interactive_->ProcessMessages();
    // Ctrl-C between files is the progress window's Cancel.
    if (progress_)
        progress_->TakeInterrupt();
    else if (platform::terminal::interrupt_take())
        ui::Batch.CancelRequested = 1;
}

bool CliBackend::AskPasswordAgain(const std::string &path, ui::SecureString &password) {
    if (Unattended() || againDeclined_ || !console_) return false;
    const int answer =
        console_->RunMessageBox(nullptr,
                                "Invalid password used for file: " + path +
                                    ". Enter the password again for it and the remaining files?",
                                "Invalid Password", ui::mbYesNo);
    if (answer != ui::idYes) {
        againDeclined_ = true;
        return false;
    }
    platform::terminal::InterruptCatch ctrlC; // Ctrl-C cancels the entry
    ui::SecureString line;
    bool read = false;
    {
        platform::terminal::EchoOff hidden;
        platform::terminal::write_error("Password: ");
        read = platform::read_secret_line(line) == platform::LineRead::Line;
    }
    if (!platform::terminal::input_is_terminal()) platform::terminal::write_error("\n");
    if (!read || line.empty()) return false;
    ui::SecureWipe(password);
    password = std::move(line);
    return true;
}

int CliBackend::RunMessageBox(ui::WindowHandle owner, const std::string &text,
                              const std::string &caption, unsigned style) {
    if (progress_) progress_->ClearLine();
    if (!Unattended()) return interactive_->RunMessageBox(owner, text, caption, style);
    platform::terminal::write_error(caption + ": " + text + "\n");
    switch (style & ui::mbButtonsMask) {
    case ui::mbYesNo:
        return answers_.answerYes ? ui::idYes : ui::idNo;
    case ui::mbOKCancel:
        return answers_.stopOnError ? ui::idCancel : ui::idOK;
    default:
        return ui::idOK;
    }
}

void CliBackend::OpenUrl(const std::string &url) {
    if (interactive_) interactive_->OpenUrl(url);
}

void CliBackend::Notice(const std::string &path, const std::string &remark) {
    platform::terminal::write_error("quillomar: " + ui::EscapeForTerminal(path) + ": " + remark +
                                    "\n");
}

} // namespace cli
