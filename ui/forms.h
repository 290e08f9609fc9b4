// The form model: dialogs as data (controls with kind, name, position, texts and states)
// plus behaviour (event handlers). A form class builds its controls and holds its rules; a
// backend (ui/backend.h) shows the form and feeds the user's actions back through the
// User* operations below, which apply the same rules a real window would: disabled or
// hidden controls ignore input, Enter presses the default button only while it is enabled,
// Esc presses the cancel button.
#pragma once

#include "ui/secure_string.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// Colours as the framework stores them: blue-green-red, or with the top bit set a system
// colour whose index is the low byte.
using TColor = uint32_t;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clHighlightText = 0x8000000E;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;

// Modal results.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

struct TFont {
    std::string Name = "MS Sans Serif";
    int Height = -11;
    TColor Color = clWindowText;
    bool Underline = false;
};

enum class ControlKind { GroupBox, Panel, Label, Edit, CheckBox, Button, ProgressBar, Image };
enum class TCursor { Default, HandPoint };
enum class TBevel { None, Lowered, Raised };

class TForm;

class TControl {
public:
    TControl(TForm &form, ControlKind kind, std::string name, TControl *parent);
    virtual ~TControl() = default;
    TControl(const TControl &) = delete;
    TControl &operator=(const TControl &) = delete;

    void SetBounds(int left, int top, int width, int height);

    TForm &Form;
    const ControlKind Kind;
    const std::string Name;
    TControl *const Parent; // the group box or panel that holds it; null for the form
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool AutoSize = false; // labels without a fixed size take the size of their text
    std::string Caption;   // with '&' before the accelerator letter
    bool Enabled = true;
    bool Visible = true;
    int TabOrder = -1; // -1: not a tab stop
    TFont Font;        // the form's font (copied at construction) unless set otherwise
    TColor Color = clBtnFace;
    TCursor Cursor = TCursor::Default;
    std::function<void()> OnClick;

    // Visible and enabled, along with every container that holds it.
    bool Usable() const;
    // The control's own click: the form class's rules, without checking Usable().
    virtual void Click();
};

class TGroupBox : public TControl {
public:
    TGroupBox(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::GroupBox, std::move(name), parent) {}
};

class TPanel : public TControl {
public:
    TPanel(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::Panel, std::move(name), parent) {}
    TBevel BevelInner = TBevel::None;
    TBevel BevelOuter = TBevel::Raised;
};

class TLabel : public TControl {
public:
    TLabel(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::Label, std::move(name), parent) {
        AutoSize = true;
    }
    bool WordWrap = false;
    TControl *FocusControl = nullptr; // what its accelerator focuses
};

class TEdit : public TControl {
public:
    TEdit(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::Edit, std::move(name), parent) {
        Color = clWindow;
    }
    ~TEdit() override { SecureWipe(text_); }

    std::string_view Text() const { return View(text_); }
    const SecureString &SecureText() const { return text_; }
    // Replaces the text (the old one is wiped) and fires OnChange.
    void SetText(std::string_view text);

    char PasswordChar = 0; // 0: characters shown
    bool ReadOnly = false;
    std::function<void()> OnChange;

private:
    SecureString text_;
};

class TCheckBox : public TControl {
public:
    TCheckBox(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::CheckBox, std::move(name), parent) {}
    bool Checked = false;
    bool CaptionOnLeft = false;
    // A click toggles the box, then runs OnClick.
    void Click() override;
};

class TButton : public TControl {
public:
    TButton(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::Button, std::move(name), parent) {}
    bool Default = false; // pressed by Enter
    bool Cancel = false;  // pressed by Esc
    int ModalResult = mrNone;
    // For text-only frontends: why the button is disabled, told when Enter is refused.
    std::string DisabledHint;
    // A click sets the form's modal result (when the button has one), then runs OnClick.
    void Click() override;
};

class TProgressBar : public TControl {
public:
    TProgressBar(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::ProgressBar, std::move(name), parent) {}
    int Min = 0, Max = 100, Position = 0, Step = 10;
    void StepIt(); // advances by Step, never past Max
};

class TImage : public TControl {
public:
    TImage(TForm &form, std::string name, TControl *parent = nullptr)
        : TControl(form, ControlKind::Image, std::move(name), parent) {}
    bool Stretch = false;
    std::string Picture; // name of the image resource
};

enum class TPosition { Designed, ScreenCenter, DesktopCenter };
enum class TBorderStyle { Dialog, Sizeable };

class TForm {
public:
    explicit TForm(std::string name);
    virtual ~TForm();
    TForm(const TForm &) = delete;
    TForm &operator=(const TForm &) = delete;

    const std::string Name; // the class name without its "T": "Form1", "ConfirmDefault"
    std::string Caption;
    int Left = 0, Top = 0;
    int Width = 0, Height = 0; // client area, or outer size when SizeIsOuter
    bool SizeIsOuter = false;
    TPosition Position = TPosition::Designed;
    TBorderStyle BorderStyle = TBorderStyle::Dialog;
    TFont Font;
    std::string Icon; // name of the icon resource; empty: none
    int ModalResult = mrNone;
    TControl *ActiveControl = nullptr; // has the focus when the form opens

    // Controls in creation order (parents before their children).
    const std::vector<std::unique_ptr<TControl>> &Controls() const { return controls_; }
    TControl *FindControl(std::string_view name) const;
    template <class T> T *Find(std::string_view name) const {
        return dynamic_cast<T *>(FindControl(name));
    }
    TButton *DefaultButton() const;
    TButton *CancelButton() const;
    // Controls with a tab order, ascending.
    std::vector<TControl *> TabOrderList() const;

    // Shows the form modally through the current backend until it has a modal result.
    int ShowModal();
    // Shows the form without waiting (the progress window); Hide or the destructor takes it
    // away again; Update repaints it at once.
    void Show();
    void Hide();
    void Update();
    bool Showing() const { return showing_; }
    // Ends a modal run with the given result.
    void Close(int result) { ModalResult = result; }

    // --- User actions, fed by backends. Each returns whether it had an effect. ---
    bool UserType(std::string_view editName, std::string_view text);
    bool UserClick(std::string_view controlName);
    bool UserEnter();  // the default button, if it is usable
    bool UserEscape(); // the cancel button; without one, closes with mrCancel
    // The window's close box: ends a modal run with mrCancel unless the form says otherwise.
    virtual void UserCloseBox();

protected:
    template <class T, class... A> T *Add(A &&...args) {
        auto control = std::make_unique<T>(*this, std::forward<A>(args)...);
        T *raw = control.get();
        controls_.push_back(std::move(control));
        return raw;
    }

private:
    std::vector<std::unique_ptr<TControl>> controls_;
    bool showing_ = false;
};

// Strips the accelerator marks from a caption ("&Keep encrypted file:" -> "Keep encrypted
// file:", "&&" -> "&").
std::string PlainCaption(std::string_view caption);

} // namespace ui
