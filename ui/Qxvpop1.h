// TForm1: the password and options dialog of the Encrypt and Decrypt commands. Batch.EncryptMode
// chooses its texts; accepting saves the option, runs the default-password check (encrypt)
// and closes with mrOk, after which the caller reads ebPassword. A caller without a person
// (the command line tool's unattended runs) accepts it through AcceptUnattended.
#pragma once

#include "ui/Editbox.h"
#include "ui/forms.h"

#include <functional>
#include <optional>
#include <string_view>

namespace platform {
class SettingsKey;
}

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

    // Presets the option box, as a click would, when it takes input (a preset from outside the
    // dialog, before a person sees it); otherwise leaves it as loaded.
    void PresetOption(bool value);

    enum class Unattended { Accepted, OptionUnavailable, PasswordTooShort };
    // Accepts the dialog without a person: `option` (unset: as loaded) set as a click would,
    // refused when it asks for an executable the dialog does not offer; `password` typed,
    // refused when the Encrypt button stays disabled; then what the button saves, without the
    // default-password check. Closes with mrOk when accepted, mrCancel when refused.
    Unattended AcceptUnattended(std::string_view password, std::optional<bool> option);

private:
    bool PasswordLongEnough() const;
    void SetOption(bool value);
    void SaveOptions(platform::SettingsKey &key);
};

// Whether the executable option can be offered: the stub file lies beside the running
// module. Replaceable so that tests can decide.
extern std::function<bool()> ExeOptionAvailable;

} // namespace ui
