// TConfirmPassword: a password that differs from the default is typed a second time; the
// user may make it the new default.
#pragma once

#include "ui/Editbox.h"
#include "ui/forms.h"

namespace ui {

class TConfirmPassword : public TForm {
public:
    TConfirmPassword(TForm *owner, std::string_view password);
    ~TConfirmPassword() override { SecureWipe(password_); }

    TGroupBox *GroupBox1;
    TLabel *Label10;
    TLabel *ConfirmPassword;
    TEditBox *ebConfirmPassword;
    TCheckBox *cbxDefault;
    TButton *btnOK;
    TButton *bntCancel;

    void ebConfirmPasswordChange();
    void btnOKClick();
    void bntCancelClick();

private:
    SecureString password_;
};

} // namespace ui
