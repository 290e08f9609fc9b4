// The message-box wrapper of the dialogs: the style words are combined and the box is shown
// by the current backend, owned by the application. Returns the button pressed (idOK, ...).
#pragma once

#include <string>

namespace ui {

int ShowMessageBox(const std::string &text, const std::string &caption, unsigned style1,
                   unsigned style2, unsigned style3);

} // namespace ui
