// One form shown as a Qt window: one widget per control at the form's positions (pixels at
// 96 DPI, scaled to the screen's logical DPI), the keys of a dialog (Tab in the form's order,
// &-accelerators, Enter and Esc through the form's rules, the close box) fed into the form's
// User* actions, and after every action the widgets brought in line with the form's state.
#pragma once

#include "ui/forms.h"

#include <QDialog>
#include <QFont>

#include <vector>

class QWidget;

namespace ui {

class FormWidget : public QDialog {
public:
    FormWidget(TForm &form, QWidget *owner);
    ~FormWidget() override;

    TForm &Form() const { return form_; }
    // The widget showing a control, or null.
    QWidget *WidgetOf(const TControl *control) const;
    // Brings every widget in line with the form's state.
    void Sync();
    // Shows the window and focuses the form's active control.
    void Open();
    // Overwrites and clears what was typed into the edits (before the window goes).
    void WipeEdits();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct Child {
        TControl *control;
        QWidget *widget;
    };

    void CreateChildren();
    QWidget *CreateChild(TControl &control);
    void Place(const TControl &control, QWidget *widget);
    int Scale(int value) const;
    QFont FontFor(const TControl &control) const;
    // How much the form's geometry grows beyond the DPI scale so that its texts fit.
    double TextRoom() const;
    // Runs a user action, then syncs (when the action left the window in place).
    template <class F> void Act(F &&action);
    void OnEdited(TEdit &edit, const QString &text);

    TForm &form_;
    double fontScale_ = 1.0; // the screen's logical DPI over 96
    double scale_ = 1.0;     // of the geometry: fontScale_ and room for the desktop's font
    bool syncing_ = false;
    std::vector<Child> children_;
};

} // namespace ui
