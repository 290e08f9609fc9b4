#include "ui/Msgbox.h"

#include "ui/backend.h"

namespace ui {

int ShowMessageBox(const std::string &text, const std::string &caption, unsigned style1,
                   unsigned style2, unsigned style3) {
    return CurrentBackend().RunMessageBox(nullptr, text, caption, style1 | style2 | style3);
}

} // namespace ui
