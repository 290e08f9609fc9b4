#include "ui/qt/form_widget.h"

#include "ui/Hyperlink.h"
#include "ui/secure_string.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <functional>

namespace ui {
namespace {

// A label that reports clicks (the hyperlink of the About box).
class ClickLabel : public QLabel {
public:
    ClickLabel(QWidget *parent, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent *event) override {
        QLabel::mouseReleaseEvent(event);
        if (rect().contains(event->position().toPoint())) onClick_();
    }

private:
    std::function<void()> onClick_;
};

bool AllAncestors(const TControl &control, bool TControl::*flag) {
    for (const TControl *c = &control; c; c = c->Parent)
        if (!(c->*flag)) return false;
    return true;
}

// A framework colour: blue-green-red, or a system colour, taken from the desktop's palette.
QColor ToQColor(TColor color) {
    if (!(color & 0x80000000u))
        return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    const QPalette palette = QApplication::palette();
    switch (color & 0xFF) {
    case 5: // window
        return palette.color(QPalette::Base);
    case 8: // window text
        return palette.color(QPalette::WindowText);
    case 14: // highlight text
        return palette.color(QPalette::HighlightedText);
    default: // 15, button face, and the rest
        return palette.color(QPalette::Window);
    }
}

QString FromBytes(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Overwrites a copy of a password before it is freed.
void Wipe(QString &text) {
    std::fill(text.begin(), text.end(), QChar(u'\0'));
    text.clear();
}

void Wipe(QByteArray &bytes) {
    SecureZero(bytes.data(), size_t(bytes.size()));
    bytes.clear();
}

} // namespace

FormWidget::FormWidget(TForm &form, QWidget *owner) : QDialog(nullptr), form_(form) {
    // The form's pixels are at 96 DPI; the desktop's logical DPI carries its text scale.
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) fontScale_ = screen->logicalDotsPerInchY() / 96.0;
    scale_ = fontScale_ * TextRoom();
    setWindowTitle(QString::fromStdString(form.Caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (form.BorderStyle == TBorderStyle::Sizeable)
        setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    if (!form.Icon.empty()) setWindowIcon(QIcon(":/qxv/" + QString::fromStdString(form.Icon)));
    CreateChildren();

    int width = Scale(form.Width), height = Scale(form.Height);
    if (form.SizeIsOuter) {
        // The outer size includes a frame the desktop decides; a typical caption and border.
        width -= Scale(8);
        height -= Scale(30);
    }
    // Never smaller than what the controls cover.
    for (const auto &c : form.Controls()) {
        int right = 0, bottom = 0;
        for (const TControl *p = c.get(); p; p = p->Parent) {
            right += p->Left;
            bottom += p->Top;
        }
        width = std::max(width, Scale(right + c->Width + 4));
        height = std::max(height, Scale(bottom + c->Height + 4));
    }
    resize(width, height);
    if (form.BorderStyle != TBorderStyle::Sizeable) setFixedSize(width, height);
    const QRect area = owner ? owner->frameGeometry()
                             : (screen ? screen->availableGeometry() : QRect(0, 0, 800, 600));
    if (form.Position == TPosition::Designed && !owner)
        move(Scale(form.Left), Scale(form.Top));
    else
        move(area.center() - QPoint(width / 2, height / 2));
    Sync();
}

FormWidget::~FormWidget() {
    WipeEdits();
}

QFont FormWidget::FontFor(const TControl &control) const {
    QFont font = QApplication::font();
    font.setPixelSize(std::max(1, int(std::lround(std::abs(control.Font.Height) * fontScale_))));
    font.setUnderline(control.Font.Underline);
    return font;
}

double FormWidget::TextRoom() const {
    // The forms were drawn for a narrow 8-point font; the desktop's font is often wider. The
    // whole form grows evenly, in steps, until every text fits its control.
    auto fits = [&](double room) {
        const double s = fontScale_ * room;
        for (const auto &c : form_.Controls()) {
            const TControl &control = *c;
            if (control.Caption.empty()) continue;
            const QFontMetrics metrics(FontFor(control));
            if (control.Width == 0) {
                // A label sized by its text ends before the control it names, on its left.
                const auto *label = dynamic_cast<const TLabel *>(&control);
                const TControl *named = label ? label->FocusControl : nullptr;
                if (named && named->Parent == control.Parent && named->Left > control.Left &&
                    metrics.horizontalAdvance(QString::fromStdString(
                        PlainCaption(control.Caption))) > int((named->Left - control.Left) * s))
                    return false;
                continue;
            }
            const QString text = QString::fromStdString(PlainCaption(control.Caption));
            const int width = int(control.Width * s), height = int(control.Height * s);
            const int line = metrics.height();
            switch (control.Kind) {
            case ControlKind::Label: {
                const auto &label = static_cast<const TLabel &>(control);
                const QString shown =
                    label.FocusControl ? text : QString::fromStdString(control.Caption);
                const QRect needed = metrics.boundingRect(
                    QRect(0, 0, width, 10000),
                    Qt::AlignLeft | Qt::AlignTop | (label.WordWrap ? Qt::TextWordWrap : 0), shown);
                if (needed.width() > width || needed.height() > std::max(height, line))
                    return false;
                break;
            }
            case ControlKind::Button:
                if (metrics.horizontalAdvance(text) + int(12 * fontScale_) > width ||
                    line + int(4 * fontScale_) > height)
                    return false;
                break;
            case ControlKind::CheckBox:
                if (metrics.horizontalAdvance(text) + int(22 * fontScale_) > width) return false;
                break;
            default:
                break;
            }
        }
        return true;
    };
    double room = 1.0;
    while (room < 2.0 && !fits(room))
        room += 0.05;
    return room;
}

int FormWidget::Scale(int value) const {
    return int(std::lround(value * scale_));
}

void FormWidget::Place(const TControl &control, QWidget *widget) {
    int left = 0, top = 0;
    for (const TControl *c = &control; c; c = c->Parent) {
        left += c->Left;
        top += c->Top;
    }
    widget->setGeometry(Scale(left), Scale(top), Scale(control.Width), Scale(control.Height));
}

void FormWidget::CreateChildren() {
    // Containers first, so that they lie below what they hold.
    std::vector<TControl *> order;
    for (const auto &c : form_.Controls())
        if (c->Kind == ControlKind::Panel || c->Kind == ControlKind::GroupBox)
            order.push_back(c.get());
    for (const auto &c : form_.Controls())
        if (c->Kind != ControlKind::Panel && c->Kind != ControlKind::GroupBox)
            order.push_back(c.get());
    for (TControl *control : order)
        if (QWidget *widget = CreateChild(*control)) children_.push_back({control, widget});
    // A label's accelerator focuses the control it names.
    for (const Child &c : children_)
        if (auto *label = dynamic_cast<TLabel *>(c.control); label && label->FocusControl)
            if (QWidget *buddy = WidgetOf(label->FocusControl))
                static_cast<QLabel *>(c.widget)->setBuddy(buddy);

    // Tab moves through the form's tab stops in order; nothing else takes the focus by Tab.
    QWidget *previous = nullptr;
    for (TControl *stop : form_.TabOrderList()) {
        QWidget *widget = WidgetOf(stop);
        if (!widget) continue;
        widget->setFocusPolicy(Qt::StrongFocus);
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

QWidget *FormWidget::CreateChild(TControl &control) {
    QWidget *widget = nullptr;
    const QString caption = QString::fromStdString(control.Caption);
    switch (control.Kind) {
    case ControlKind::GroupBox:
        widget = new QGroupBox(caption, this);
        break;
    case ControlKind::Panel: {
        auto &panel = static_cast<TPanel &>(control);
        auto *frame = new QFrame(this);
        const bool sunken = panel.BevelOuter == TBevel::Lowered;
        frame->setFrameStyle(panel.BevelOuter == TBevel::None
                                 ? QFrame::NoFrame
                                 : QFrame::Panel | (sunken ? QFrame::Sunken : QFrame::Raised));
        frame->setAutoFillBackground(true);
        widget = frame;
        break;
    }
    case ControlKind::Label: {
        auto &label = static_cast<TLabel &>(control);
        QLabel *text =
            dynamic_cast<THyperLink *>(&label)
                ? new ClickLabel(this,
                                 [this, &label] { Act([&] { form_.UserClick(label.Name); }); })
                : new QLabel(this);
        // Plain text: file names are shown as they are. Only a label that names a control
        // has an accelerator; in the others '&' is a character like any other.
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(label.WordWrap);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (label.Cursor == TCursor::HandPoint) text->setCursor(Qt::PointingHandCursor);
        widget = text;
        break;
    }
    case ControlKind::Edit: {
        auto &edit = static_cast<TEdit &>(control);
        auto *line = new QLineEdit(this);
        if (edit.PasswordChar) line->setEchoMode(QLineEdit::Password);
        connect(line, &QLineEdit::textEdited, this,
                [this, &edit](const QString &text) { OnEdited(edit, text); });
        widget = line;
        break;
    }
    case ControlKind::CheckBox: {
        auto *box = new QCheckBox(caption, this);
        // The caption on the left and the box at the right edge.
        if (static_cast<TCheckBox &>(control).CaptionOnLeft)
            box->setLayoutDirection(Qt::RightToLeft);
        connect(box, &QCheckBox::clicked, this,
                [this, &control] { Act([&] { form_.UserClick(control.Name); }); });
        widget = box;
        break;
    }
    case ControlKind::Button: {
        auto *button = new QPushButton(caption, this);
        // Enter is the form's decision (keyPressEvent), never the dialog's own default.
        button->setAutoDefault(false);
        button->setDefault(static_cast<TButton &>(control).Default);
        connect(button, &QPushButton::clicked, this,
                [this, &control] { Act([&] { form_.UserClick(control.Name); }); });
        widget = button;
        break;
    }
    case ControlKind::ProgressBar: {
        auto *bar = new QProgressBar(this);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case ControlKind::Image: {
        auto &image = static_cast<TImage &>(control);
        auto *picture = new QLabel(this);
        picture->setPixmap(QPixmap(":/qxv/" + QString::fromStdString(image.Picture)));
        picture->setScaledContents(image.Stretch);
        widget = picture;
        break;
    }
    }
    widget->setFont(FontFor(control));
    if (control.TabOrder < 0 || control.Kind == ControlKind::Label)
        widget->setFocusPolicy(Qt::NoFocus);
    Place(control, widget);
    return widget;
}

QWidget *FormWidget::WidgetOf(const TControl *control) const {
    for (const Child &c : children_)
        if (c.control == control) return c.widget;
    return nullptr;
}

template <class F> void FormWidget::Act(F &&action) {
    if (syncing_) return; // the widget changed because Sync changed it
    action();
    Sync();
}

void FormWidget::OnEdited(TEdit &edit, const QString &text) {
    if (syncing_) return;
    QByteArray bytes = text.toUtf8();
    form_.UserType(edit.Name, std::string_view(bytes.constData(), size_t(bytes.size())));
    Wipe(bytes);
    Sync();
}

void FormWidget::Sync() {
    if (syncing_) return;
    syncing_ = true;
    const QString title = QString::fromStdString(form_.Caption);
    if (windowTitle() != title) setWindowTitle(title);
    for (Child &c : children_) {
        TControl &control = *c.control;
        QWidget *widget = c.widget;
        const QString caption = QString::fromStdString(control.Caption);
        widget->setEnabled(AllAncestors(control, &TControl::Enabled));
        widget->setVisible(AllAncestors(control, &TControl::Visible));
        switch (control.Kind) {
        case ControlKind::Edit: {
            auto &edit = static_cast<TEdit &>(control);
            auto *line = static_cast<QLineEdit *>(widget);
            QString wanted = FromBytes(edit.Text());
            QString shown = line->text();
            if (shown != wanted) line->setText(wanted);
            Wipe(wanted);
            Wipe(shown);
            line->setReadOnly(edit.ReadOnly);
            QPalette palette = line->palette();
            palette.setColor(QPalette::Base, ToQColor(edit.Color));
            line->setPalette(palette);
            break;
        }
        case ControlKind::CheckBox: {
            auto *box = static_cast<QCheckBox *>(widget);
            box->setChecked(static_cast<TCheckBox &>(control).Checked);
            if (box->text() != caption) box->setText(caption);
            break;
        }
        case ControlKind::GroupBox: {
            auto *group = static_cast<QGroupBox *>(widget);
            if (group->title() != caption) group->setTitle(caption);
            break;
        }
        case ControlKind::Button: {
            auto *button = static_cast<QPushButton *>(widget);
            if (button->text() != caption) button->setText(caption);
            break;
        }
        case ControlKind::Label: {
            auto *label = static_cast<QLabel *>(widget);
            if (label->text() != caption) {
                label->setText(caption);
                if (control.AutoSize && control.Width == 0) label->adjustSize();
            }
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, ToQColor(control.Font.Color));
            label->setPalette(palette);
            break;
        }
        case ControlKind::ProgressBar: {
            auto &bar = static_cast<TProgressBar &>(control);
            auto *progress = static_cast<QProgressBar *>(widget);
            progress->setRange(bar.Min, bar.Max);
            progress->setValue(bar.Position);
            break;
        }
        case ControlKind::Panel: {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::Window, ToQColor(control.Color));
            widget->setPalette(palette);
            break;
        }
        case ControlKind::Image:
            break;
        }
    }
    // The focus on a control that was just disabled or hidden goes to the first usable stop.
    QWidget *focus = focusWidget();
    if (isVisible() && (!focus || !focus->isEnabled() || !focus->isVisible())) {
        for (TControl *stop : form_.TabOrderList())
            if (QWidget *widget = WidgetOf(stop); widget && stop->Usable()) {
                widget->setFocus(Qt::OtherFocusReason);
                break;
            }
    }
    syncing_ = false;
}

void FormWidget::Open() {
    show();
    raise();
    activateWindow();
    QWidget *focus = form_.ActiveControl ? WidgetOf(form_.ActiveControl) : nullptr;
    if (focus && focus->isEnabled() && focus->isVisible()) {
        focus->setFocus(Qt::ActiveWindowFocusReason);
    } else {
        for (TControl *stop : form_.TabOrderList())
            if (QWidget *widget = WidgetOf(stop); widget && stop->Usable()) {
                widget->setFocus(Qt::ActiveWindowFocusReason);
                break;
            }
    }
}

void FormWidget::WipeEdits() {
    syncing_ = true;
    for (const Child &c : children_)
        if (auto *line = qobject_cast<QLineEdit *>(c.widget)) {
            // Overwritten in place, then emptied, so that the text's buffer holds no password.
            const qsizetype length = line->text().size();
            if (length > 0) line->setText(QString(length, u' '));
            line->clear();
        }
    syncing_ = false;
}

void FormWidget::keyPressEvent(QKeyEvent *event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // A focused push button is the one pressed, otherwise the default button.
            const Child *focused = nullptr;
            for (const Child &c : children_)
                if (c.widget == focusWidget()) focused = &c;
            if (focused && focused->control->Kind == ControlKind::Button)
                Act([&] { form_.UserClick(focused->control->Name); });
            else
                Act([&] { form_.UserEnter(); });
            event->accept();
            return;
        }
        case Qt::Key_Escape:
            Act([&] { form_.UserEscape(); });
            event->accept();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event); // not the dialog's: it would close the window itself
}

void FormWidget::closeEvent(QCloseEvent *event) {
    // The form decides: a modal run ends when it has a result, the backend takes the window.
    event->ignore();
    Act([&] { form_.UserCloseBox(); });
}

} // namespace ui
