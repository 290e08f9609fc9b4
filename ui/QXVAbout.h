// TAboutBox: product name, version, maker's notice, logo and the maker's web link.
#pragma once

#include "ui/Hyperlink.h"
#include "ui/forms.h"

namespace ui {

class TAboutBox : public TForm {
public:
    explicit TAboutBox(TForm *owner);

    TPanel *Panel1;
    TLabel *Label2;
    TLabel *Version;
    TLabel *Label1;
    TLabel *Label4;
    TImage *ProgramIcon;
    THyperLink *HyperLink1;
    TButton *OKButton;
};

// The about box while it is shown (set by the password dialog's About button).
extern TAboutBox *AboutBox;

} // namespace ui
