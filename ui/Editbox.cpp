#include "ui/Editbox.h"

#include "ui/palette.h"

namespace ui {

void TEditBox::SetReadOnly(bool value) {
    if (value == ReadOnly) return;
    Color = value ? ReadOnlyColor : normalColor_;
    ReadOnly = value;
}

void Editbox::Register() {
    RegisterComponent("Standard", "TEditBox");
}

} // namespace ui
