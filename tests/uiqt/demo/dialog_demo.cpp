// Shows one dialog through the Qt backend, with a password typed where there is one, saves a
// picture of its window and closes it: what tools/screenshot-qt-dialogs runs.
//   uiqt_dialog_demo form1|form1-decrypt|confirm-default|confirm-password|about|progress|
//                    message-box OUT.png
#include "ui/QXVAbout.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"
#include "ui/Qxvpop1.h"
#include "ui/Qxvprogress.h"
#include "ui/batch_state.h"
#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

QString output;
bool saved = false;

// Once the newest window is up: types into its focused edit, photographs it, closes it.
void TypeShootClose(const char *password) {
    QTimer::singleShot(300, [password] {
        QWidget *window = QApplication::activeModalWidget();
        if (!window) window = QApplication::activeWindow();
        if (!window) return;
        if (auto *edit = qobject_cast<QLineEdit *>(window->focusWidget()); edit && password) {
            edit->setText(password);
            emit edit->textEdited(edit->text());
        }
        QTimer::singleShot(200, [window] {
            saved = window->grab().save(output);
            window->close();
        });
    });
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: uiqt_dialog_demo DIALOG OUT.png\n");
        return 2;
    }
    const std::string which = argv[1];
    output = QString::fromLocal8Bit(argv[2]);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    ui::QtBackend backend;
    ui::SetBackend(&backend);
    ui::ExeOptionAvailable = [] { return true; };
    if (which == "form1" || which == "form1-decrypt") {
        ui::Batch.EncryptMode = which == "form1" ? 1 : 0;
        ui::TForm1 form(nullptr, nullptr,
                        which == "form1" ? "Encrypting 3 files." : "file: report.pdf.qxv");
        TypeShootClose("secret-passphrase");
        form.ShowModal();
    } else if (which == "confirm-default") {
        ui::TConfirmDefault form(nullptr, "secret-passphrase");
        TypeShootClose("secret-passphrase");
        form.ShowModal();
    } else if (which == "confirm-password") {
        ui::TConfirmPassword form(nullptr, "secret-passphrase");
        TypeShootClose("secret-passphrase");
        form.ShowModal();
    } else if (which == "about") {
        ui::TAboutBox form(nullptr);
        TypeShootClose(nullptr);
        form.ShowModal();
    } else if (which == "message-box") {
        TypeShootClose(nullptr);
        backend.RunMessageBox(nullptr, "The two passwords are not equal.", "Confirm Password",
                              ui::mbIconExclamation);
    } else if (which == "progress") {
        ui::TForm2 form(nullptr);
        form.ProgressBar1->Max = 5;
        form.ProgressBar1->Step = 1;
        form.Show();
        form.FileName->Caption = "Encrypting file: /home/ada/Documents/report.pdf";
        form.ProgressBar1->StepIt();
        form.ProgressBar1->StepIt();
        form.Update();
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(25);
        }
        saved = backend.WindowOf(form)->grab().save(output);
    } else {
        std::fprintf(stderr, "unknown dialog %s\n", which.c_str());
        return 2;
    }
    if (!saved) std::fprintf(stderr, "uiqt_dialog_demo: %s not saved\n", argv[2]);
    return saved ? 0 : 1;
}
