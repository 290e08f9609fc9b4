#include "ui/Qxvpop1.h"

#include "platform/settings.h"
#include "platform/stub_file.h"
#include "ui/QXVAbout.h"
#include "ui/batch_state.h"
#include "ui/confirm_common.h"
#include "ui/default_password.h"
#include "ui/setting_names.h"

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
        if (key->ValueExists(SettingKeepEncrypted)) {
            cbxCreate->Checked = read_option(*key, SettingKeepEncrypted, false);
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
    if (encrypt && offered && key->ValueExists(SettingMakeExe)) {
        cbxCreate->Checked = read_option(*key, SettingMakeExe, false);
        Batch.MakeExeFile = cbxCreate->Checked ? 1 : 0;
    }
    key.reset();

    btnEncrypt->Caption = encrypt ? "&Encrypt" : "&Decrypt";
    cbxCreate->Caption = encrypt ? "&Create EXE-File:" : "&Keep encrypted file:";
}

bool TForm1::PasswordLongEnough() const {
    return ebPassword->Text().size() >= MinPasswordLength;
}

void TForm1::ebPasswordChange() {
    btnEncrypt->Enabled = PasswordLongEnough();
}

void TForm1::cbxCreateClick() {
    if (Batch.EncryptMode == 0)
        Batch.KeepEncryptedFile = cbxCreate->Checked;
    else
        Batch.MakeExeFile = cbxCreate->Checked ? 1 : 0;
}

void TForm1::SaveOptions(platform::SettingsKey &key) {
    key.WriteBool(SettingAes, true);
    key.WriteBool(Batch.EncryptMode != 0 ? SettingMakeExe : SettingKeepEncrypted,
                  cbxCreate->Checked);
}

void TForm1::btnEncryptClick() {
    if (!PasswordLongEnough())
        return; // the button is disabled then; a direct call changes nothing either
    auto key = platform::SettingsKey::Open();
    SaveOptions(*key);
    if (Batch.EncryptMode != 0 && DefaultPasswordCheck(*key, *ebPassword) == CheckOutcome::Stop)
        return;
    Close(mrOk);
}

// Through the box's own click, so that its handler updates the batch-wide state.
void TForm1::SetOption(bool value) {
    if (cbxCreate->Checked != value) cbxCreate->Click();
}

void TForm1::PresetOption(bool value) {
    if (cbxCreate->Usable()) SetOption(value);
}

TForm1::Unattended TForm1::AcceptUnattended(std::string_view password, std::optional<bool> option) {
    if (option) {
        if (Batch.EncryptMode != 0 && *option && !cbxCreate->Usable()) {
            Close(mrCancel);
            return Unattended::OptionUnavailable;
        }
        SetOption(*option);
    }
    ebPassword->SetText(password);
    if (!PasswordLongEnough()) {
        Close(mrCancel);
        return Unattended::PasswordTooShort;
    }
    SaveOptions(*platform::SettingsKey::Open());
    Close(mrOk);
    return Unattended::Accepted;
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
