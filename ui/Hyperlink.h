// THyperLink: a label that opens its URL when clicked and then shows itself as visited.
#pragma once

#include "ui/forms.h"

namespace ui {

class THyperLink : public TLabel {
public:
    THyperLink(TForm &form, std::string name, TControl *parent = nullptr);

    std::string URL;
    void SetURL(const std::string &value) { URL = value; }
    // Opens URL (a failure is not reported), runs the label's click, turns purple.
    void Click() override;
};

namespace Hyperlink {
// Puts THyperLink on the designer's "Internet" page.
void Register();
} // namespace Hyperlink

} // namespace ui
