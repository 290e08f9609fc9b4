// The dialogs as real windows: each form becomes a top-level window with one child window per
// control at the form's positions (pixels at 96 DPI, scaled to the screen's DPI). User input
// goes back into the form through its User* actions, and after every action the controls are
// brought in line with the form's state (texts, enabled, visible, checked, colours).
// Modal forms run a message loop of their own, so handlers may open nested forms and message
// boxes. Artwork ("MAINICON", "LOGO") comes from dialog_art.rc in the module that links this.
#pragma once

#include "ui/backend.h"

#include <memory>
#include <vector>

namespace ui {

class FormWindow;
class TControl;

class Win32Backend : public Backend {
public:
    Win32Backend();
    ~Win32Backend() override;

    int RunModal(TForm &form) override;
    void ShowModeless(TForm &form) override;
    void Repaint(TForm &form) override;
    void HideModeless(TForm &form) override;
    void ProcessMessages() override;
    int RunMessageBox(WindowHandle owner, const std::string &text, const std::string &caption,
                      unsigned style) override;

    // The window showing `form`, or null (for tests and screenshots).
    WindowHandle WindowOf(const TForm &form) const;
    // The child window of a control of a shown form, or null (panels are drawn, not windows).
    WindowHandle ControlWindowOf(const TControl &control) const;

private:
    FormWindow *Find(const TForm &form) const;
    // The innermost modal window, which owns new modal windows and message boxes.
    void *TopModal() const;

    std::vector<std::unique_ptr<FormWindow>> windows_;
    // Windows already destroyed, kept until no message of theirs can be on the stack.
    std::vector<std::unique_ptr<FormWindow>> retired_;
    std::vector<void *> modalStack_;
};

} // namespace ui
