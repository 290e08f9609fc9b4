// The dialogs as terminal prompts, for the command line tool. A modal form prints its caption
// and texts, then asks for each usable control in tab order: an edit as a line (without echo
// when it has a password character), a check box as a yes/no question whose default is its
// current state. A password entry that leaves the default button disabled (under 8
// characters) is refused at once, with the button's reason, and asked again; a hidden entry
// ends its line even when the input was not a terminal (nothing echoed it). Then it presses the
// default button. Controls the caller settled (options given on the command line) are not
// asked. End of input, Ctrl-D or Ctrl-C is Cancel. Message boxes print "caption: text" and ask for
// one of their buttons. The progress window is a one-line bar on standard error; Ctrl-C is its
// Cancel button, seen when the batch processes messages between files. When standard input is not a
// terminal, every answer is one line, so a pipe can drive it.
#pragma once

#include "platform/terminal.h"
#include "ui/backend.h"
#include "ui/secure_string.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class TControl;
class TEdit;

class ConsoleBackend final : public Backend {
public:
    int RunModal(TForm &form) override;
    // A modal run that asks nothing of the controls in `settled`.
    int RunModal(TForm &form, const std::vector<const TControl *> &settled);
    void ShowModeless(TForm &form) override;
    void Repaint(TForm &form) override;
    void HideModeless(TForm &form) override;
    void ProcessMessages() override;
    int RunMessageBox(WindowHandle owner, const std::string &text, const std::string &caption,
                      unsigned style) override;
    void OpenUrl(const std::string &url) override;

private:
    // One line of input without its line end (platform/secret_line.h); false at end of input,
    // on Ctrl-C and for a line too long to be an answer.
    bool ReadLine(SecureString &line);
    // Asks one question of a dialog; false when the dialog is to be cancelled.
    bool AskControls(TForm &form, const std::vector<const TControl *> &settled);
    // One edit's line; a password too short for the default button is asked again.
    bool AskEdit(TForm &form, TEdit &edit, SecureString &answer);

    // Finishes a progress line drawn in place, so that other output starts on a line of its own.
    void EndProgressLine();

    std::vector<TForm *> shown_;
    std::unique_ptr<platform::terminal::InterruptCatch> progressCatch_;
    std::string lastProgressLine_;
};

} // namespace ui
