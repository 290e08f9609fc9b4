// The default-password check: its three states, both confirmation dialogs and the verifier.
#include "tests/ui/dialog_fixture.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"
#include "ui/default_password.h"

namespace {

using namespace ui;
using qxv_test::DialogTest;
using qxv_test::from_hex;

// Verifiers computed independently, e.g. for "password":
//   /usr/bin/python3 -c 'import hashlib; p=b"password";
//       print(hashlib.sha1(p+hashlib.sha1(p).digest()).hexdigest())'
const char *const kPassword = "password";
const char *const kPasswordVerifier = "70e9d85c781fedbedf55802a3409ae46a14bdd60";
const char *const kSecret = "Secret12";
const char *const kSecretVerifier = "98cca54f6af884fbea9688da8a0cbab6b6fd98af";
// p = b"a"*236 (the longest a 256-byte work buffer holds) and p = b"b"*300.
const char *const kA236Verifier = "ffb0fdc08ae764898cc1dcde7c4349aee87d1592";
const char *const kB300Verifier = "6456e29b092a616fd6183914b252424e2e20f3a6";

std::string hex(const uint8_t *data, size_t n) {
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        s += buf;
    }
    return s;
}

std::string verifier_of(const std::string &password) {
    uint8_t v[VerifierSize];
    HashPassword(password, v);
    return hex(v, sizeof v);
}

TEST(HashPassword, MatchesSha1OfPasswordFollowedByItsSha1) {
    EXPECT_EQ(verifier_of(kPassword), kPasswordVerifier);
    EXPECT_EQ(verifier_of(kSecret), kSecretVerifier);
    EXPECT_EQ(verifier_of(std::string(236, 'a')), kA236Verifier);
    EXPECT_EQ(verifier_of(std::string(300, 'b')), kB300Verifier) << "long passwords whole";
}

// Runs one acceptance of the password dialog in encrypt mode with `password`; the caller has
// scripted the confirmation steps (if any) after the step this adds.
class DefaultPassword : public DialogTest {
protected:
    const unsigned char files_ = 0;

    int encrypt_with(const char *password, std::function<void()> confirmation_steps = {}) {
        Batch.EncryptMode = 1;
        form_ = std::make_unique<TForm1>(nullptr, &files_, "Encrypting file: a");
        ui.Modal<TForm1>([password](TForm1 &f) {
            f.UserType("ebPassword", password);
            f.UserEnter();
            if (f.ModalResult == mrNone) f.UserEscape(); // the check stopped: leave the dialog
        });
        if (confirmation_steps) confirmation_steps();
        return form_->ShowModal();
    }
    std::unique_ptr<TForm1> form_;
};

TEST_F(DefaultPassword, FirstEncryptionConfirmsAndStoresTheVerifier) {
    int result = encrypt_with(kPassword, [&] {
        ui.Modal<TConfirmDefault>([](TConfirmDefault &f) {
            EXPECT_EQ(f.Caption, "Quillomar Confirm Default Password");
            EXPECT_FALSE(f.btnOK->Enabled);
            f.UserType("ebConfirmPassword", kPassword);
            f.UserEnter();
        });
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(stored_hash_key(), from_hex(kPasswordVerifier));
    EXPECT_EQ(stored_bool("Default"), std::nullopt) << "the first confirmation writes no Default";

    // Set: the same password passes without a question.
    ui.Log.clear();
    EXPECT_EQ(encrypt_with(kPassword), mrOk);
    EXPECT_EQ(ui.Log, std::vector<std::string>{"modal Form1"});
}

TEST_F(DefaultPassword, CancellingTheFirstConfirmationEmptiesThePasswordAndStoresNothing) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &files_, "Encrypting file: a");
    ui.Modal<TForm1>([](TForm1 &f) {
          f.UserType("ebPassword", kPassword);
          f.UserEnter();
          EXPECT_EQ(f.ModalResult, mrNone) << "the dialog stays open";
          EXPECT_EQ(f.ebPassword->Text(), "");
          EXPECT_FALSE(f.btnEncrypt->Enabled);
          EXPECT_EQ(stored_bool("AES"), true) << "options saved before the check stay saved";
          f.UserEscape();
      }).Modal<TConfirmDefault>([](TConfirmDefault &f) { f.UserEscape(); });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(stored_hash_key().empty());
    EXPECT_FALSE(platform::SettingsKey::Open()->ValueExists("HashKey"));
}

TEST_F(DefaultPassword, UnequalConfirmationIsReportedAndTheDialogStaysOpen) {
    int result = encrypt_with(kPassword, [&] {
        ui.Modal<TConfirmDefault>([](TConfirmDefault &f) {
              f.UserType("ebConfirmPassword", "1234567");
              EXPECT_FALSE(f.btnOK->Enabled);
              f.UserType("ebConfirmPassword", "PASSWORD"); // differs in case only
              EXPECT_TRUE(f.btnOK->Enabled) << "8 characters enable OK even if they differ";
              f.UserEnter();
              EXPECT_EQ(f.ModalResult, mrNone);
              EXPECT_EQ(f.ebConfirmPassword->Text(), "PASSWORD") << "typed text unchanged";
          })
            .Answer(idOK)
            .Modal<TConfirmDefault>([](TConfirmDefault &f) {
                f.UserType("ebConfirmPassword", kPassword);
                f.UserEnter();
            });
    });
    EXPECT_EQ(result, mrOk);
    ASSERT_EQ(ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].text, "The two passwords are not equal.");
    EXPECT_EQ(ui.MessageBoxes[0].caption, "Confirm Password");
    EXPECT_EQ(ui.MessageBoxes[0].style, 48u);
}

TEST_F(DefaultPassword, AnotherPasswordWithoutUseAsDefaultKeepsTheOldVerifier) {
    settings.set_binary("HashKey", from_hex(kPasswordVerifier));
    int result = encrypt_with(kSecret, [&] {
        ui.Modal<TConfirmPassword>([](TConfirmPassword &f) {
            EXPECT_EQ(f.Caption, "Quillomar Confirm Password");
            EXPECT_FALSE(f.cbxDefault->Checked);
            EXPECT_EQ(f.cbxDefault->Caption, "&Use as default password:");
            f.UserType("ebConfirmPassword", kSecret);
            f.UserEnter();
        });
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(stored_hash_key(), from_hex(kPasswordVerifier));
    EXPECT_EQ(stored_bool("Default"), false);

    // Still Set for the old password: the same question comes again.
    ui.Log.clear();
    encrypt_with(kSecret, [&] {
        ui.Modal<TConfirmPassword>([](TConfirmPassword &f) {
            f.UserType("ebConfirmPassword", kSecret);
            f.UserEnter();
        });
    });
    EXPECT_EQ(ui.Log, (std::vector<std::string>{"modal Form1", "modal ConfirmPassword"}));
}

TEST_F(DefaultPassword, UseAsDefaultReplacesTheVerifierAndIsRemembered) {
    settings.set_binary("HashKey", from_hex(kPasswordVerifier));
    encrypt_with(kSecret, [&] {
        ui.Modal<TConfirmPassword>([](TConfirmPassword &f) {
            f.UserType("ebConfirmPassword", kSecret);
            f.UserClick("cbxDefault");
            f.UserEnter();
        });
    });
    EXPECT_EQ(stored_hash_key(), from_hex(kSecretVerifier));
    EXPECT_EQ(stored_bool("Default"), true);

    // The old password now asks, and the box starts ticked.
    encrypt_with(kPassword, [&] {
        ui.Modal<TConfirmPassword>([](TConfirmPassword &f) {
            EXPECT_TRUE(f.cbxDefault->Checked);
            f.UserEscape();
        });
    });
    EXPECT_EQ(stored_hash_key(), from_hex(kSecretVerifier)) << "Cancel changes nothing";
    EXPECT_EQ(form_->ebPassword->Text(), "");
}

TEST_F(DefaultPassword, CaseMattersAndAShortStoredValueNeverMatches) {
    settings.set_binary("HashKey", from_hex(kPasswordVerifier));
    encrypt_with("PASSWORD",
                 [&] { ui.Modal<TConfirmPassword>([](TConfirmPassword &f) { f.UserEscape(); }); });

    // A stored value of 19 bytes that starts like the verifier is another value: confirm.
    auto short_value = from_hex(kPasswordVerifier);
    short_value.pop_back();
    settings.set_binary("HashKey", short_value);
    encrypt_with(kPassword, [&] {
        ui.Modal<TConfirmPassword>([](TConfirmPassword &f) {
            f.UserType("ebConfirmPassword", kPassword);
            f.UserEnter();
        });
    });
    EXPECT_EQ(stored_hash_key(), short_value) << "rewritten unchanged";
}

TEST_F(DefaultPassword, AnUnreadableHashKeyIsReportedAndKeepsTheDialogOpen) {
    settings.set_string("HashKey", "not binary");
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &files_, "Encrypting file: a");
    ui.Modal<TForm1>([](TForm1 &f) {
          f.UserType("ebPassword", kPassword);
          f.UserEnter();
          EXPECT_EQ(f.ModalResult, mrNone);
          f.UserEnter(); // every further click fails the same way
          EXPECT_EQ(f.ModalResult, mrNone);
          f.UserEscape();
      })
        .Answer(idOK)
        .Answer(idOK);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    ASSERT_EQ(ui.MessageBoxes.size(), 2u);
    EXPECT_EQ(ui.MessageBoxes[0].text, "Invalid data type for 'HashKey'");
}

TEST_F(DefaultPassword, AHashKeyLongerThanAVerifierIsAReadError) {
    settings.set_binary("HashKey", std::vector<uint8_t>(21, 1));
    int result = encrypt_with(kPassword, [&] { ui.Answer(idOK); });
    EXPECT_EQ(result, mrCancel);
    ASSERT_EQ(ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].text, "Invalid data type for 'HashKey'");
}

TEST_F(DefaultPassword, ConfirmPasswordLayout) {
    TConfirmPassword f(nullptr, "whatever");
    EXPECT_EQ(f.Left, 340);
    EXPECT_EQ(f.Top, 259);
    EXPECT_EQ(f.Width, 342);
    EXPECT_EQ(f.Height, 158);
    EXPECT_EQ(f.ebConfirmPassword->PasswordChar, '*');
    EXPECT_EQ(f.TabOrderList()[0], f.ebConfirmPassword);
    EXPECT_EQ(f.ActiveControl, f.ebConfirmPassword);
    EXPECT_EQ(f.TabOrderList()[1], f.cbxDefault);
    EXPECT_TRUE(f.cbxDefault->CaptionOnLeft);
    EXPECT_EQ(f.DefaultButton(), f.btnOK);
    EXPECT_EQ(f.CancelButton(), f.bntCancel);
    EXPECT_EQ(f.ConfirmPassword->Caption, "&Confirm Password:");
    TConfirmDefault d(nullptr, "whatever");
    EXPECT_EQ(d.ConfirmPassword->Caption, "&Confirm Password");
    EXPECT_EQ(d.Left, 297);
    EXPECT_EQ(d.Height, 184);
}

} // namespace
