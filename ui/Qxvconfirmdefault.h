// TConfirmDefault: the first password ever used for encryption is typed a second time
// before it becomes the default password.
#pragma once

#include "ui/Editbox.h"
#include "ui/forms.h"

namespace ui {

class TConfirmDefault : public TForm {
public:
    TConfirmDefault(TForm *owner, std::string_view password);
    ~TConfirmDefault() override { SecureWipe(password_); }

    TGroupBox *GroupBox1;
    TLabel *Label1;
    TLabel *Label10;
    TLabel *ConfirmPassword;
    TEditBox *ebConfirmPassword;
    TButton *btnOK;
    TButton *bntCancel;

    void confirmdefault(); // change of ebConfirmPassword
    void btnOKClick();
    void bntCancelClick();

private:
    SecureString password_;
};

} // namespace ui
