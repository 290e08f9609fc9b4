#include "ui/qt/qt_backend.h"

#include "ui/forms.h"
#include "ui/qt/form_widget.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

namespace ui {

QtBackend::QtBackend() = default;

QtBackend::~QtBackend() {
    retired_.clear();
    windows_.clear();
}

FormWidget *QtBackend::Find(const TForm &form) const {
    for (const auto &w : windows_)
        if (&w->Form() == &form) return w.get();
    return nullptr;
}

QWidget *QtBackend::TopWindow() const {
    return modalStack_.empty() ? nullptr : modalStack_.back();
}

QWidget *QtBackend::WindowOf(const TForm &form) const {
    return Find(form);
}

QWidget *QtBackend::WidgetOf(const TControl &control) const {
    FormWidget *w = Find(control.Form);
    return w ? w->WidgetOf(&control) : nullptr;
}

int QtBackend::RunModal(TForm &form) {
    windows_.push_back(std::make_unique<FormWidget>(form, TopWindow()));
    FormWidget *window = windows_.back().get();
    window->setWindowModality(Qt::ApplicationModal);
    modalStack_.push_back(window);
    window->Open();
    // An event loop of its own, left when an action gave the form its result.
    while (form.ModalResult == mrNone)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);

    modalStack_.pop_back();
    window->WipeEdits();
    window->hide();
    windows_.erase(std::find_if(windows_.begin(), windows_.end(),
                                [&](const auto &w) { return w.get() == window; }));
    if (QWidget *owner = TopWindow()) owner->activateWindow();
    return form.ModalResult;
}

void QtBackend::ShowModeless(TForm &form) {
    retired_.clear();
    FormWidget *window = Find(form);
    if (!window) {
        windows_.push_back(std::make_unique<FormWidget>(form, TopWindow()));
        window = windows_.back().get();
        window->Open();
    }
    window->Sync();
    QCoreApplication::processEvents();
}

void QtBackend::Repaint(TForm &form) {
    if (FormWidget *window = Find(form)) {
        window->Sync();
        window->repaint();
    }
}

void QtBackend::HideModeless(TForm &form) {
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const auto &w) { return &w->Form() == &form; });
    if (it == windows_.end()) return;
    // This may run inside the window's own event handler (its close box): the window is
    // hidden now, the object freed later.
    (*it)->WipeEdits();
    (*it)->hide();
    retired_.push_back(std::move(*it));
    windows_.erase(it);
}

void QtBackend::ProcessMessages() {
    QCoreApplication::processEvents();
    for (auto &w : windows_)
        w->Sync();
}

int QtBackend::RunMessageBox(WindowHandle owner, const std::string &text,
                             const std::string &caption, unsigned style) {
    QWidget *parent = owner ? static_cast<QWidget *>(owner) : TopWindow();
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    switch (style & 0xF0) {
    case mbIconHand:
        box.setIcon(QMessageBox::Critical);
        break;
    case mbIconExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case 0x20: // question
        box.setIcon(QMessageBox::Question);
        break;
    case 0x40: // asterisk: information
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<Choice> choices;
    switch (style & mbButtonsMask) {
    case mbOKCancel:
        choices = {{QMessageBox::Ok, idOK}, {QMessageBox::Cancel, idCancel}};
        break;
    case mbYesNo:
        choices = {{QMessageBox::Yes, idYes}, {QMessageBox::No, idNo}};
        break;
    default:
        choices = {{QMessageBox::Ok, idOK}};
        break;
    }
    for (const Choice &c : choices) {
        box.addButton(c.button);
        if (c.answer == DismissAnswer(style)) box.setEscapeButton(c.button);
    }
    // The first button is the default one, as in the Windows message box.
    box.setDefaultButton(choices.front().button);
    box.exec();
    for (const Choice &c : choices)
        if (box.clickedButton() == box.button(c.button)) return c.answer;
    return DismissAnswer(style);
}

} // namespace ui
