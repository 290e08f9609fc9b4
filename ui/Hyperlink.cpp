#include "ui/Hyperlink.h"

#include "ui/backend.h"
#include "ui/palette.h"

namespace ui {

THyperLink::THyperLink(TForm &form, std::string name, TControl *parent)
    : TLabel(form, std::move(name), parent) {
    Cursor = TCursor::HandPoint;
    Font.Color = clBlue;
    Font.Underline = true;
}

void THyperLink::Click() {
    CurrentBackend().OpenUrl(URL);
    TLabel::Click();
    Font.Color = clPurple;
}

void Hyperlink::Register() {
    RegisterComponent("Internet", "THyperLink");
}

} // namespace ui
