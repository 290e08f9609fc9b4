// The dialogs as Qt Widgets windows, for the desktop program on Linux. Each form is a
// FormWidget; modal forms run an event loop of their own until the form has a modal result,
// so handlers may open nested forms and message boxes. Message boxes are QMessageBox windows
// with the captions, texts, buttons and icons of the style word. A QApplication must exist.
#pragma once

#include "ui/backend.h"

#include <memory>
#include <vector>

class QWidget;

namespace ui {

class FormWidget;
class TControl;

class QtBackend : public Backend {
public:
    QtBackend();
    ~QtBackend() override;

    int RunModal(TForm &form) override;
    void ShowModeless(TForm &form) override;
    void Repaint(TForm &form) override;
    void HideModeless(TForm &form) override;
    void ProcessMessages() override;
    int RunMessageBox(WindowHandle owner, const std::string &text, const std::string &caption,
                      unsigned style) override;

    // The window showing `form`, or null (for tests and screenshots).
    QWidget *WindowOf(const TForm &form) const;
    // The widget of a control of a shown form, or null.
    QWidget *WidgetOf(const TControl &control) const;

private:
    FormWidget *Find(const TForm &form) const;
    QWidget *TopWindow() const;

    std::vector<std::unique_ptr<FormWidget>> windows_;
    std::vector<QWidget *> modalStack_;
    // Windows already hidden, kept until no event of theirs can be on the stack.
    std::vector<std::unique_ptr<FormWidget>> retired_;
};

} // namespace ui
