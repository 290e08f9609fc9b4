// TEditBox: the edit control of every password field, coloured by its read-only state.
#pragma once

#include "ui/forms.h"

namespace ui {

class TEditBox : public TEdit {
public:
    TEditBox(TForm &form, std::string name, TControl *parent = nullptr)
        : TEdit(form, std::move(name), parent) {}

    TColor ReadOnlyColor = clBtnFace;
    // Recolours the box and switches its read-only state; no effect when `value` is the
    // current state (so a new ReadOnlyColor shows only at the next change).
    void SetReadOnly(bool value);

private:
    TColor normalColor_ = clWindow;
};

namespace Editbox {
// Puts TEditBox on the designer's "Standard" page.
void Register();
} // namespace Editbox

} // namespace ui
