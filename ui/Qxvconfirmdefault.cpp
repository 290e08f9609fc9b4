#include "ui/Qxvconfirmdefault.h"

#include "ui/Msgbox.h"
#include "ui/backend.h"
#include "ui/confirm_common.h"

namespace ui {

TConfirmDefault::TConfirmDefault(TForm * /*owner*/, std::string_view password)
    : TForm("ConfirmDefault"), password_(password.data(), password.size()) {
    Caption = "Quillomar Confirm Default Password";
    Width = 342;
    Height = 184;
    Left = 297;
    Top = 184;

    GroupBox1 = Add<TGroupBox>("GroupBox1");
    GroupBox1->SetBounds(6, 6, 331, 139);

    Label1 = Add<TLabel>("Label1", GroupBox1);
    Label1->SetBounds(8, 16, 305, 26);
    Label1->AutoSize = false;
    Label1->WordWrap = true;
    Label1->Caption = "This is the first time you have entered a password for encryption. Please "
                      "confirm your password.";

    Label10 = Add<TLabel>("Label10", GroupBox1);
    Label10->SetBounds(8, 48, 311, 39);
    Label10->AutoSize = false;
    Label10->WordWrap = true;
    Label10->Caption = "Quillomar will save this password as you default password. This will serve "
                       "as a check for future encryptions, as a measure to safeguard against "
                       "encrypting files using a mistyped password.";

    ConfirmPassword = Add<TLabel>("ConfirmPassword", GroupBox1);
    ConfirmPassword->SetBounds(8, 112, 0, 0);
    ConfirmPassword->Caption = "&Confirm Password";

    ebConfirmPassword = Add<TEditBox>("ebConfirmPassword", GroupBox1);
    ebConfirmPassword->SetBounds(145, 108, 176, 21);
    ebConfirmPassword->PasswordChar = '*';
    ebConfirmPassword->TabOrder = 0;
    ActiveControl = ebConfirmPassword;
    ebConfirmPassword->OnChange = [this] { confirmdefault(); };
    ConfirmPassword->FocusControl = ebConfirmPassword;

    btnOK = Add<TButton>("btnOK");
    btnOK->SetBounds(168, 152, 80, 24);
    btnOK->Caption = "&OK";
    btnOK->Default = true;
    btnOK->Enabled = false;
    btnOK->TabOrder = 1;
    btnOK->DisabledHint = PasswordTooShortHint;
    btnOK->OnClick = [this] { btnOKClick(); };

    bntCancel = Add<TButton>("bntCancel");
    bntCancel->SetBounds(256, 152, 80, 24);
    bntCancel->Caption = "Cancel";
    bntCancel->Cancel = true;
    bntCancel->TabOrder = 2;
    bntCancel->OnClick = [this] { bntCancelClick(); };
}

void TConfirmDefault::confirmdefault() {
    btnOK->Enabled = ebConfirmPassword->Text().size() >= MinPasswordLength;
}

void TConfirmDefault::btnOKClick() {
    if (ebConfirmPassword->Text() != View(password_)) {
        ShowMessageBox("The two passwords are not equal.", "Confirm Password", mbIconExclamation, 0,
                       0);
        return;
    }
    Close(mrOk);
}

void TConfirmDefault::bntCancelClick() {
    Close(mrCancel);
}

} // namespace ui
