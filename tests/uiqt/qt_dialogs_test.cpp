// The dialogs as Qt windows, driven by real key and mouse events on the offscreen platform:
// the 8-character rule, Enter and Esc, Tab and accelerators, the confirmation flow with its
// nested windows, the progress window's Cancel, the message boxes' answers, and room for
// every text at the desktop's font.
#include "tests/support/settings_sandbox.h"
#include "ui/QXVAbout.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"
#include "ui/Qxvpop1.h"
#include "ui/Qxvprogress.h"
#include "ui/batch_state.h"
#include "ui/qt/qt_backend.h"
#include "ui/scripted/scripted_backend.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

namespace qxv_test {
namespace {

QApplication &Application() {
    static int argc = 1;
    static char name[] = "uiqt_tests";
    static char *argv[] = {name, nullptr};
    // Never destroyed: Qt's input devices do not survive being torn down at exit.
    static QApplication *application = new QApplication(argc, argv);
    return *application;
}

// Runs steps against the modal windows as they open: each step waits for a modal window
// other than the one the previous step had (or the same one, when `again`), then gets it.
// Every step is a timer of its own, so that a step may open a nested window whose loop runs
// the next step.
class Driver {
public:
    Driver &Then(std::function<void(QWidget *)> step, bool again = false) {
        steps_.push_back({std::move(step), again});
        return *this;
    }
    void Start() { Poll(); }
    bool Done() const { return steps_.empty(); }

private:
    struct Step {
        std::function<void(QWidget *)> run;
        bool again;
    };
    void Poll() {
        QTimer::singleShot(5, &context_, [this] {
            if (steps_.empty()) return;
            QWidget *window = QApplication::activeModalWidget();
            const bool ready =
                window && window->isVisible() && (steps_.front().again || window != last_);
            if (!ready || ++polls_ > 2000) { // about ten seconds, then give up
                if (polls_ <= 2000) Poll();
                return;
            }
            Step step = std::move(steps_.front());
            steps_.pop_front();
            last_ = window;
            // Key events go to the active window, as a person's do.
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
            Poll();
            step.run(window);
        });
    }
    QObject context_; // takes pending polls along when the driver goes
    std::deque<Step> steps_;
    QWidget *last_ = nullptr;
    int polls_ = 0;
};

class QtDialogs : public ::testing::Test {
protected:
    QtDialogs() : scope_(backend) {
        Application();
        ui::Batch = ui::BatchState{};
        ui::ExeOptionAvailable = [] { return true; };
    }

    template <class W> W *Widget(const ui::TControl *control) {
        return qobject_cast<W *>(backend.WidgetOf(*control));
    }
    // Types as a person does: key by key into the widget.
    static void Type(QWidget *widget, const char *text) { QTest::keyClicks(widget, text); }
    static void Key(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(widget, key, mods);
    }

    SettingsSandbox settings;
    ui::QtBackend backend;
    Driver driver;

private:
    ui::BackendScope scope_;
};

TEST_F(QtDialogs, EncryptButtonFollowsTheEighthCharacterAndEnterOnlyWorksThen) {
    ui::Batch.EncryptMode = 0; // decrypt: no confirmation dialog after it
    ui::TForm1 form(nullptr, nullptr, "file: a&b.qxv");
    driver
        .Then([&](QWidget *) {
            auto *edit = Widget<QLineEdit>(form.ebPassword);
            auto *button = Widget<QPushButton>(form.btnEncrypt);
            ASSERT_TRUE(edit && button);
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
            EXPECT_TRUE(edit->hasFocus());
            EXPECT_EQ(Widget<QLabel>(form.lbInformation)->text(), "file: a&b.qxv");
            Type(edit, "1234567");
            EXPECT_FALSE(button->isEnabled());
            Key(edit, Qt::Key_Return); // refused: the dialog stays
            EXPECT_EQ(form.ModalResult, ui::mrNone);
            Type(edit, "8");
            EXPECT_TRUE(button->isEnabled());
            Key(edit, Qt::Key_Backspace);
            EXPECT_FALSE(button->isEnabled());
            Type(edit, "x");
            Key(edit, Qt::Key_Enter, Qt::KeypadModifier);
        })
        .Start();
    EXPECT_EQ(form.ShowModal(), ui::mrOk);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(form.ebPassword->Text(), "1234567x");
    EXPECT_EQ(backend.WindowOf(form), nullptr) << "the window is gone after the run";
}

TEST_F(QtDialogs, KeysAndTheCloseBoxEndThePasswordDialogAsTheFormSays) {
    struct Case {
        const char *name;
        std::function<void(ui::TForm1 &, QWidget *)> act;
        int result;
    };
    const Case cases[] = {
        {"Esc", [](ui::TForm1 &, QWidget *w) { QTest::keyClick(w->focusWidget(), Qt::Key_Escape); },
         ui::mrCancel},
        {"close box", [](ui::TForm1 &, QWidget *w) { w->close(); }, ui::mrCancel},
        {"Enter on the focused Cancel",
         [](ui::TForm1 &f, QWidget *w) {
             QTest::keyClicks(w->focusWidget(), "12345678"); // Encrypt could take Enter
             QPushButton *cancel = w->findChildren<QPushButton *>().at(1);
             EXPECT_EQ(cancel->text(), "Cancel");
             cancel->setFocus();
             QTest::keyClick(cancel, Qt::Key_Return);
             EXPECT_EQ(f.ModalResult, ui::mrCancel);
         },
         ui::mrCancel},
        {"Alt+D, the button's accelerator",
         [](ui::TForm1 &, QWidget *w) {
             QTest::keyClicks(w->focusWidget(), "12345678");
             QTest::keyClick(w, Qt::Key_D, Qt::AltModifier);
         },
         ui::mrOk},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ui::Batch.EncryptMode = 0;
        ui::TForm1 form(nullptr, nullptr, "file: a.qxv");
        Driver run;
        run.Then([&](QWidget *w) { c.act(form, w); });
        run.Start();
        EXPECT_EQ(form.ShowModal(), c.result);
        EXPECT_TRUE(run.Done());
    }
}

TEST_F(QtDialogs, TabFollowsTheFormsOrderAndTheLabelsAcceleratorFocusesItsEdit) {
    ui::Batch.EncryptMode = 1;
    ui::TForm1 form(nullptr, nullptr, "Encrypting 2 files.");
    driver
        .Then([&](QWidget *w) {
            auto *edit = Widget<QLineEdit>(form.ebPassword);
            EXPECT_TRUE(edit->hasFocus());
            // Encrypt is disabled (no password yet): Tab passes over it.
            const ui::TControl *expected[] = {form.cbxCreate, form.bntCancel, form.btnAbout,
                                              form.ebPassword};
            for (const ui::TControl *next : expected) {
                Key(w->focusWidget(), Qt::Key_Tab);
                EXPECT_EQ(w->focusWidget(), backend.WidgetOf(*next)) << next->Name;
            }
            Key(w->focusWidget(), Qt::Key_Tab);
            EXPECT_TRUE(Widget<QCheckBox>(form.cbxCreate)->hasFocus());
            Key(w->focusWidget(), Qt::Key_Space); // checks the box, through the form
            EXPECT_TRUE(form.cbxCreate->Checked);
            EXPECT_EQ(ui::Batch.MakeExeFile, 1);
            QTest::keyClick(w, Qt::Key_P, Qt::AltModifier);
            EXPECT_TRUE(edit->hasFocus()) << "&Password: focuses the edit";
            Key(edit, Qt::Key_Escape);
        })
        .Start();
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
    EXPECT_TRUE(driver.Done());
}

TEST_F(QtDialogs, FirstEncryptionConfirmsThePasswordInANestedWindow) {
    ui::Batch.EncryptMode = 1;
    ui::TForm1 form(nullptr, nullptr, "Encrypting 1 file.");
    driver
        .Then([&](QWidget *w) {
            Type(w->focusWidget(), "correct horse");
            Key(w->focusWidget(), Qt::Key_Return); // opens the confirmation
        })
        .Then([&](QWidget *w) {
            EXPECT_EQ(w->windowTitle(), "Quillomar Confirm Default Password");
            EXPECT_EQ(qobject_cast<QLineEdit *>(w->focusWidget())->echoMode(), QLineEdit::Password);
            Type(w->focusWidget(), "correct horsE");
            Key(w->focusWidget(), Qt::Key_Return); // not equal: a message box
        })
        .Then([&](QWidget *box) {
            auto *message = qobject_cast<QMessageBox *>(box);
            ASSERT_TRUE(message);
            EXPECT_EQ(message->text(), "The two passwords are not equal.");
            EXPECT_EQ(message->windowTitle(), "Confirm Password");
            Key(box, Qt::Key_Return);
        })
        .Then(
            [&](QWidget *w) {
                EXPECT_EQ(w->windowTitle(), "Quillomar Confirm Default Password");
                auto *edit = qobject_cast<QLineEdit *>(w->focusWidget());
                ASSERT_TRUE(edit);
                edit->selectAll();
                Type(edit, "correct horse");
                Key(edit, Qt::Key_Return);
            },
            true);
    driver.Start();
    EXPECT_EQ(form.ShowModal(), ui::mrOk);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(form.ebPassword->Text(), "correct horse");
}

TEST_F(QtDialogs, ProgressWindowCancelAndItsCloseBox) {
    ui::TForm2 form(nullptr);
    form.ProgressBar1->Max = 4;
    form.ProgressBar1->Step = 1;
    form.Show();
    QWidget *window = backend.WindowOf(form);
    ASSERT_TRUE(window && window->isVisible());
    form.FileName->Caption = "Encrypting file: /tmp/a&b.txt";
    form.ProgressBar1->StepIt();
    form.Update();
    EXPECT_EQ(Widget<QLabel>(form.FileName)->text(), "Encrypting file: /tmp/a&b.txt");
    EXPECT_EQ(Widget<QProgressBar>(form.ProgressBar1)->value(), 1);
    EXPECT_EQ(Widget<QProgressBar>(form.ProgressBar1)->maximum(), 4);

    QTest::mouseClick(Widget<QPushButton>(form.bntCancel), Qt::LeftButton);
    ui::ProcessMessages();
    EXPECT_EQ(ui::Batch.CancelRequested, 1);
    ui::Batch.CancelRequested = 0;
    Key(window, Qt::Key_Escape);
    EXPECT_EQ(ui::Batch.CancelRequested, 1) << "Esc is Cancel";

    window->close(); // only hides it; the batch goes on
    EXPECT_FALSE(form.Showing());
    EXPECT_EQ(backend.WindowOf(form), nullptr);
}

TEST_F(QtDialogs, MessageBoxesAnswerWithTheButtonPressed) {
    struct Case {
        unsigned style;
        std::function<void(QMessageBox *)> act;
        int answer;
        QMessageBox::Icon icon;
    };
    auto key = [](Qt::Key k) { return [k](QMessageBox *b) { QTest::keyClick(b, k); }; };
    auto click = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox *b) { QTest::mouseClick(b->button(which), Qt::LeftButton); };
    };
    const Case cases[] = {
        {ui::mbOK | ui::mbIconHand, key(Qt::Key_Return), ui::idOK, QMessageBox::Critical},
        {ui::mbOK, key(Qt::Key_Escape), ui::idOK, QMessageBox::NoIcon},
        {ui::mbOKCancel | ui::mbIconExclamation, key(Qt::Key_Return), ui::idOK,
         QMessageBox::Warning},
        {ui::mbOKCancel, key(Qt::Key_Escape), ui::idCancel, QMessageBox::NoIcon},
        {ui::mbOKCancel, click(QMessageBox::Cancel), ui::idCancel, QMessageBox::NoIcon},
        {ui::mbYesNo | 0x20, key(Qt::Key_Return), ui::idYes, QMessageBox::Question},
        {ui::mbYesNo, key(Qt::Key_Escape), ui::idNo, QMessageBox::NoIcon},
        {ui::mbYesNo, click(QMessageBox::No), ui::idNo, QMessageBox::NoIcon},
        {ui::mbYesNo, [](QMessageBox *b) { b->close(); }, ui::idNo, QMessageBox::NoIcon},
        {ui::mbOK | 0x40, click(QMessageBox::Ok), ui::idOK, QMessageBox::Information},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style);
        Driver run;
        run.Then([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->windowTitle(), "Caption & co");
            EXPECT_EQ(box->text(), "Line <b>one</b>\nLine two");
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->buttons().size(), (c.style & ui::mbButtonsMask) == ui::mbOK ? 1 : 2);
            c.act(box);
        });
        run.Start();
        EXPECT_EQ(
            backend.RunMessageBox(nullptr, "Line <b>one</b>\nLine two", "Caption & co", c.style),
            c.answer);
        EXPECT_TRUE(run.Done());
    }
}

// Every text fits the widget it is in, at the font and scale this run has (the test runs at
// more than one text scale).
TEST_F(QtDialogs, EveryTextFitsItsWidget) {
    ui::Batch.EncryptMode = 1;
    auto expectFits = [](QWidget *window) {
        for (QWidget *child : window->findChildren<QWidget *>()) {
            if (!child->isVisible() || child->parentWidget() != window) continue;
            const QString name = child->metaObject()->className();
            EXPECT_TRUE(window->rect().contains(child->geometry())) << name.toStdString();
            if (auto *label = qobject_cast<QLabel *>(child); label && !label->text().isEmpty()) {
                const QRect needed = label->fontMetrics().boundingRect(
                    label->contentsRect(),
                    int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0) |
                        (label->buddy() ? Qt::TextShowMnemonic : 0),
                    label->text());
                EXPECT_LE(needed.width(), label->contentsRect().width())
                    << label->text().toStdString();
                EXPECT_LE(needed.height(), label->contentsRect().height())
                    << label->text().toStdString();
            } else if (qobject_cast<QPushButton *>(child) || qobject_cast<QCheckBox *>(child)) {
                const QSize hint = child->minimumSizeHint();
                EXPECT_LE(hint.width(), child->width() + 2)
                    << name.toStdString() << " "
                    << child->property("text").toString().toStdString();
            }
        }
    };
    std::unique_ptr<ui::TForm> forms[] = {
        std::make_unique<ui::TForm1>(nullptr, nullptr, "Encrypting 3 files."),
        std::make_unique<ui::TConfirmDefault>(nullptr, "12345678"),
        std::make_unique<ui::TConfirmPassword>(nullptr, "12345678"),
        std::make_unique<ui::TAboutBox>(nullptr),
    };
    for (auto &form : forms) {
        SCOPED_TRACE(form->Name);
        Driver run;
        run.Then([&](QWidget *w) {
            expectFits(w);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        run.Start();
        form->ShowModal();
        EXPECT_TRUE(run.Done());
    }
    ui::TForm2 progress(nullptr);
    progress.FileName->Caption = "Encrypting file: /home/ada/report.pdf";
    progress.Show();
    expectFits(backend.WindowOf(progress));
}

} // namespace
} // namespace qxv_test
