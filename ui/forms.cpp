#include "ui/forms.h"

#include "ui/backend.h"

#include <algorithm>

namespace ui {

TControl::TControl(TForm &form, ControlKind kind, std::string name, TControl *parent)
    : Form(form), Kind(kind), Name(std::move(name)), Parent(parent), Font(form.Font) {}

void TControl::SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
}

bool TControl::Usable() const {
    for (const TControl *c = this; c; c = c->Parent)
        if (!c->Visible || !c->Enabled) return false;
    return true;
}

void TControl::Click() {
    if (OnClick) OnClick();
}

void TEdit::SetText(std::string_view text) {
    SecureWipe(text_);
    text_.assign(text.data(), text.size());
    if (OnChange) OnChange();
}

void TCheckBox::Click() {
    Checked = !Checked;
    TControl::Click();
}

void TButton::Click() {
    if (ModalResult != mrNone) Form.ModalResult = ModalResult;
    TControl::Click();
}

void TProgressBar::StepIt() {
    Position = std::min(Max, Position + Step);
}

TForm::TForm(std::string name) : Name(std::move(name)) {}

TForm::~TForm() {
    if (showing_) CurrentBackend().HideModeless(*this);
}

TControl *TForm::FindControl(std::string_view name) const {
    for (const auto &c : controls_)
        if (c->Name == name) return c.get();
    return nullptr;
}

TButton *TForm::DefaultButton() const {
    for (const auto &c : controls_)
        if (auto *b = dynamic_cast<TButton *>(c.get()); b && b->Default) return b;
    return nullptr;
}

TButton *TForm::CancelButton() const {
    for (const auto &c : controls_)
        if (auto *b = dynamic_cast<TButton *>(c.get()); b && b->Cancel) return b;
    return nullptr;
}

std::vector<TControl *> TForm::TabOrderList() const {
    std::vector<TControl *> list;
    for (const auto &c : controls_)
        if (c->TabOrder >= 0) list.push_back(c.get());
    std::stable_sort(list.begin(), list.end(),
                     [](TControl *a, TControl *b) { return a->TabOrder < b->TabOrder; });
    return list;
}

int TForm::ShowModal() {
    ModalResult = mrNone;
    return CurrentBackend().RunModal(*this);
}

void TForm::Show() {
    showing_ = true;
    CurrentBackend().ShowModeless(*this);
}

void TForm::Hide() {
    if (!showing_) return;
    showing_ = false;
    CurrentBackend().HideModeless(*this);
}

void TForm::Update() {
    if (showing_) CurrentBackend().Repaint(*this);
}

bool TForm::UserType(std::string_view editName, std::string_view text) {
    auto *edit = Find<TEdit>(editName);
    if (!edit || !edit->Usable() || edit->ReadOnly) return false;
    edit->SetText(text);
    return true;
}

bool TForm::UserClick(std::string_view controlName) {
    TControl *control = FindControl(controlName);
    if (!control || !control->Usable()) return false;
    control->Click();
    return true;
}

bool TForm::UserEnter() {
    TButton *button = DefaultButton();
    if (!button || !button->Usable()) return false;
    button->Click();
    return true;
}

bool TForm::UserEscape() {
    TButton *button = CancelButton();
    if (button && button->Usable()) {
        button->Click();
        return true;
    }
    if (!button) {
        ModalResult = mrCancel;
        return true;
    }
    return false;
}

void TForm::UserCloseBox() {
    ModalResult = mrCancel;
}

std::string PlainCaption(std::string_view caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

} // namespace ui
