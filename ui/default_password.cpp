#include "ui/default_password.h"

#include "crypto/hashmech.h"
#include "platform/settings.h"
#include "ui/Msgbox.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"
#include "ui/backend.h"
#include "ui/forms.h"
#include "ui/setting_names.h"

#include <cstring>
#include <vector>

namespace ui {

void HashPassword(std::string_view password, uint8_t verifier[VerifierSize]) {
    // P followed by SHA-1(P); sized to the password, so no length is cut off.
    std::vector<uint8_t, WipingAllocator<uint8_t>> work(password.size() + VerifierSize);
    std::memcpy(work.data(), password.data(), password.size());
    hashmech_hash(HASHMECH_SHA1, 0, work.data(), uint32_t(password.size()),
                  work.data() + password.size());
    hashmech_hash(HASHMECH_SHA1, 0, work.data(), uint32_t(work.size()), verifier);
    SecureZero(work.data(), work.size());
}

CheckOutcome DefaultPasswordCheck(platform::SettingsKey &key, TEdit &ebPassword) {
    uint8_t stored[VerifierSize] = {};
    uint8_t typed[VerifierSize] = {};

    if (!key.ValueExists(SettingHashKey)) {
        TConfirmDefault dialog(nullptr, ebPassword.Text());
        if (dialog.ShowModal() != mrOk) {
            ebPassword.SetText("");
            return CheckOutcome::Stop;
        }
        HashPassword(ebPassword.Text(), typed);
        key.WriteBinary(SettingHashKey, typed, VerifierSize);
        SecureZero(typed, sizeof typed);
        return CheckOutcome::GoOn;
    }

    size_t length = 0;
    platform::SettingsResult read = key.ReadBinary(SettingHashKey, stored, sizeof stored, length);
    if (!read.ok()) {
        ShowMessageBox(read.error, "Orvanel Quillomar", mbIconHand, 0, 0);
        return CheckOutcome::Stop;
    }

    HashPassword(ebPassword.Text(), typed);
    // A stored value shorter than a verifier never matches: it is some other value.
    bool same = length == VerifierSize && std::memcmp(typed, stored, VerifierSize) == 0;
    SecureZero(typed, sizeof typed);
    if (same) return CheckOutcome::GoOn;

    TConfirmPassword dialog(nullptr, ebPassword.Text());
    if (dialog.ShowModal() != mrOk) {
        ebPassword.SetText("");
        return CheckOutcome::Stop;
    }
    if (dialog.cbxDefault->Checked) {
        HashPassword(dialog.ebConfirmPassword->Text(), stored);
        length = VerifierSize;
    }
    // Written back in any case: unchanged unless the box was ticked.
    key.WriteBinary(SettingHashKey, stored, length);
    return CheckOutcome::GoOn;
}

} // namespace ui
