#include "ui/Qxvconfirmpassword.h"

#include "platform/settings.h"
#include "ui/Msgbox.h"
#include "ui/backend.h"
#include "ui/confirm_common.h"
#include "ui/setting_names.h"

namespace ui {

TConfirmPassword::TConfirmPassword(TForm * /*owner*/, std::string_view password)
    : TForm("ConfirmPassword"), password_(password.data(), password.size()) {
    Caption = "Quillomar Confirm Password";
    Width = 342;
    Height = 158;
    Left = 340;
    Top = 259;

    GroupBox1 = Add<TGroupBox>("GroupBox1");
    GroupBox1->SetBounds(6, 6, 331, 115);

    Label10 = Add<TLabel>("Label10", GroupBox1);
    Label10->SetBounds(8, 16, 312, 26);
    Label10->AutoSize = false;
    Label10->WordWrap = true;
    Label10->Caption = "The password you entered is not your default password. Enter the password "
                       "again to confirm using it for this encryption.";

    ConfirmPassword = Add<TLabel>("ConfirmPassword", GroupBox1);
    ConfirmPassword->SetBounds(8, 68, 0, 0);
    ConfirmPassword->Caption = "&Confirm Password:";

    ebConfirmPassword = Add<TEditBox>("ebConfirmPassword", GroupBox1);
    ebConfirmPassword->SetBounds(144, 64, 176, 21);
    ebConfirmPassword->PasswordChar = '*';
    ebConfirmPassword->TabOrder = 0;
    ActiveControl = ebConfirmPassword;
    ebConfirmPassword->OnChange = [this] { ebConfirmPasswordChange(); };
    ConfirmPassword->FocusControl = ebConfirmPassword;

    cbxDefault = Add<TCheckBox>("cbxDefault", GroupBox1);
    cbxDefault->SetBounds(5, 88, 152, 17);
    cbxDefault->Caption = "&Use as default password:";
    cbxDefault->CaptionOnLeft = true;
    cbxDefault->TabOrder = 1;

    btnOK = Add<TButton>("btnOK");
    btnOK->SetBounds(168, 128, 80, 24);
    btnOK->Caption = "&OK";
    btnOK->Default = true;
    btnOK->Enabled = false;
    btnOK->TabOrder = 2;
    btnOK->DisabledHint = PasswordTooShortHint;
    btnOK->OnClick = [this] { btnOKClick(); };

    bntCancel = Add<TButton>("bntCancel");
    bntCancel->SetBounds(256, 128, 80, 24);
    bntCancel->Caption = "Cancel";
    bntCancel->Cancel = true;
    bntCancel->TabOrder = 3;
    bntCancel->OnClick = [this] { bntCancelClick(); };

    // The box remembers its last state; a value that cannot be read leaves it clear.
    auto key = platform::SettingsKey::Open();
    bool useAsDefault = false;
    if (key->ValueExists(SettingDefault) && key->ReadBool(SettingDefault, useAsDefault).ok())
        cbxDefault->Checked = useAsDefault;
}

void TConfirmPassword::ebConfirmPasswordChange() {
    btnOK->Enabled = ebConfirmPassword->Text().size() >= MinPasswordLength;
}

void TConfirmPassword::btnOKClick() {
    if (ebConfirmPassword->Text() != View(password_)) {
        ShowMessageBox("The two passwords are not equal.", "Confirm Password", mbIconExclamation, 0,
                       0);
        return;
    }
    platform::SettingsKey::Open()->WriteBool(SettingDefault, cbxDefault->Checked);
    Close(mrOk);
}

void TConfirmPassword::bntCancelClick() {
    Close(mrCancel);
}

} // namespace ui
