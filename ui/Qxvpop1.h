// TForm1: the password and options dialog of the Encrypt and Decrypt commands. Batch.EncryptMode
// chooses its texts; accepting saves the option, runs the default-password check (encrypt)
// and closes with mrOk, after which the caller reads ebPassword.
#pragma once

#include "ui/Editbox.h"
#include "ui/forms.h"

#include <functional>

namespace ui {

class TForm1 : public TForm {
public:
    // `singleFolder` points to a byte that is non-zero when the selection is one folder;
    // `information` is the line shown at the top.
    TForm1(TForm *owner, const unsigned char *singleFolder, std::string_view information);

    TGroupBox *gbCaption;
    TLabel *lbInformation;
    TLabel *Password;
    TEditBox *ebPassword;
    TCheckBox *cbxCreate;
    TButton *btnEncrypt;
    TButton *bntCancel;
    TButton *btnAbout;

    void ebPasswordChange();
    void cbxCreateClick();
    void btnEncryptClick();
    void btnCancelClick();
    void btnAboutClick();
};

// Whether the executable option can be offered: the stub file lies beside the running
// module. Replaceable so that tests can decide.
extern std::function<bool()> ExeOptionAvailable;

} // namespace ui
