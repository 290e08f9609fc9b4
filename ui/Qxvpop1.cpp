#include "ui/Qxvpop1.h"

#include "platform/settings.h"
#include "platform/stub_file.h"
#include "ui/QXVAbout.h"
#include "ui/batch_state.h"
#include "ui/confirm_common.h"
#include "ui/default_password.h"

namespace ui {

std::function<bool()> ExeOptionAvailable = [] { return platform::stub_file_present(); };

namespace {

// A boolean setting, or `fallback` when it is missing or not a boolean (the next accept
// writes it anew).
bool read_option(platform::SettingsKey &key, const char *name, bool fallback) {
    bool value = fallback;
    if (key.ValueExists(name) && !key.ReadBool(name, value).ok()) value = fallback;
    return value;
}

} // namespace

TForm1::TForm1(TForm * /*owner*/, const unsigned char *singleFolder, std::string_view information)
    : TForm("Form1") {
    const bool encrypt = Batch.EncryptMode != 0;
    Caption = "Orvanel Quillomar";
    Width = 408;
    Height = 116;
    Position = TPosition::DesktopCenter;
    Icon = "MAINICON";

    gbCaption = Add<TGroupBox>("gbCaption");
    gbCaption->SetBounds(8, 8, 301, 97);

    lbInformation = Add<TLabel>("lbInformation", gbCaption);
    lbInformation->SetBounds(8, 24, 280, 13);
    lbInformation->AutoSize = false;
    lbInformation->Caption = std::string(information);

    Password = Add<TLabel>("Password", gbCaption);
    Password->SetBounds(8, 52, 0, 0);
    Password->Caption = "&Password:";

    ebPassword = Add<TEditBox>("ebPassword", gbCaption);
    ebPassword->SetBounds(123, 48, 169, 21);
    ebPassword->PasswordChar = '*';
    ebPassword->TabOrder = 0;
    ActiveControl = ebPassword;
    ebPassword->OnChange = [this] { ebPasswordChange(); };
    Password->FocusControl = ebPassword;

    cbxCreate = Add<TCheckBox>("cbxCreate", gbCaption);
    cbxCreate->SetBounds(6, 72, 130, 17);
    cbxCreate->CaptionOnLeft = true;
    cbxCreate->TabOrder = 1;
    cbxCreate->OnClick = [this] { cbxCreateClick(); };

    btnEncrypt = Add<TButton>("btnEncrypt");
    btnEncrypt->SetBounds(320, 13, 78, 24);
    btnEncrypt->Default = true;
    btnEncrypt->Enabled = false;
    btnEncrypt->TabOrder = 2;
    btnEncrypt->DisabledHint = PasswordTooShortHint;
    btnEncrypt->OnClick = [this] { btnEncryptClick(); };

    bntCancel = Add<TButton>("bntCancel");
    bntCancel->SetBounds(320, 41, 78, 24);
    bntCancel->Caption = "Cancel";
    bntCancel->Cancel = true;
    bntCancel->ModalResult = mrCancel;
    bntCancel->TabOrder = 3;
    bntCancel->OnClick = [this] { btnCancelClick(); };

    btnAbout = Add<TButton>("btnAbout");
    btnAbout->SetBounds(320, 69, 78, 24);
    btnAbout->Caption = "&About";
    btnAbout->TabOrder = 4;
    btnAbout->OnClick = [this] { btnAboutClick(); };

    gbCaption->Caption = encrypt ? " Encrypt " : " Decrypt ";

    auto key = platform::SettingsKey::Open();
    Batch.CipherSelector = 3;

    bool offered = false;
    if (!encrypt) {
        if (key->ValueExists("KeepEncrypted")) {
            cbxCreate->Checked = read_option(*key, "KeepEncrypted", false);
            Batch.KeepEncryptedFile = cbxCreate->Checked;
        } else {
            cbxCreate->Checked = Batch.KeepEncryptedFile;
        }
    } else {
        offered = ExeOptionAvailable();
        cbxCreate->Enabled = offered;
    }
    if (singleFolder && *singleFolder) {
        cbxCreate->Enabled = false;
        cbxCreate->Visible = false;
        offered = false;
    }
    Batch.MakeExeFile = 0;
    if (encrypt && offered && key->ValueExists("MakeEXE")) {
        cbxCreate->Checked = read_option(*key, "MakeEXE", false);
        Batch.MakeExeFile = cbxCreate->Checked ? 1 : 0;
    }
    key.reset();

    btnEncrypt->Caption = encrypt ? "&Encrypt" : "&Decrypt";
    cbxCreate->Caption = encrypt ? "&Create EXE-File:" : "&Keep encrypted file:";
}

void TForm1::ebPasswordChange() {
    btnEncrypt->Enabled = ebPassword->Text().size() >= MinPasswordLength;
}

void TForm1::cbxCreateClick() {
    if (Batch.EncryptMode == 0)
        Batch.KeepEncryptedFile = cbxCreate->Checked;
    else
        Batch.MakeExeFile = cbxCreate->Checked ? 1 : 0;
}

void TForm1::btnEncryptClick() {
    if (ebPassword->Text().size() < MinPasswordLength)
        return; // the button is disabled then; a direct call changes nothing either
    const bool encrypt = Batch.EncryptMode != 0;
    auto key = platform::SettingsKey::Open();
    key->WriteBool("AES", true);
    key->WriteBool(encrypt ? "MakeEXE" : "KeepEncrypted", cbxCreate->Checked);
    if (encrypt && DefaultPasswordCheck(*key, *ebPassword) == CheckOutcome::Stop) return;
    Close(mrOk);
}

void TForm1::btnCancelClick() {
    Close(mrCancel);
}

void TForm1::btnAboutClick() {
    AboutBox = new TAboutBox(nullptr);
    AboutBox->ShowModal();
    delete AboutBox;
    AboutBox = nullptr;
}

} // namespace ui
