// The password and options dialog driven as a user would: typing, clicks, Enter and Esc.
#include "tests/ui/dialog_fixture.h"
#include "ui/QXVAbout.h"
#include "ui/Qxvconfirmdefault.h"

namespace {

using namespace ui;
using qxv_test::DialogTest;

const unsigned char kFiles = 0, kFolder = 1;

// First encryption ever: the confirmation dialog is answered with the same password.
auto confirm_first(const char *password) {
    return [password](TConfirmDefault &f) {
        f.UserType("ebConfirmPassword", password);
        f.UserEnter();
    };
}

class PasswordDialog : public DialogTest {};

TEST_F(PasswordDialog, EncryptIsEnabledFromTheEighthCharacterOnly) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &kFiles, "Encrypting file: notes.txt");
    EXPECT_FALSE(form.btnEncrypt->Enabled) << "disabled when built";
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "1234567");
        EXPECT_FALSE(f.btnEncrypt->Enabled);
        EXPECT_FALSE(f.UserEnter()) << "Enter does nothing while Encrypt is disabled";
        EXPECT_EQ(f.ModalResult, mrNone);
        f.UserType("ebPassword", "12345678");
        EXPECT_TRUE(f.btnEncrypt->Enabled);
        f.UserType("ebPassword", "1234567"); // one deleted
        EXPECT_FALSE(f.btnEncrypt->Enabled);
        EXPECT_FALSE(f.UserClick("btnEncrypt")) << "a disabled button takes no click";
        f.UserEscape();
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(ui.MessageBoxes.empty());
}

TEST_F(PasswordDialog, EncryptModeTextsAndLayout) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &kFiles, "Encrypting 3 files.");
    EXPECT_EQ(form.Caption, "Orvanel Quillomar");
    EXPECT_EQ(form.gbCaption->Caption, " Encrypt ");
    EXPECT_EQ(form.btnEncrypt->Caption, "&Encrypt");
    EXPECT_EQ(form.cbxCreate->Caption, "&Create EXE-File:");
    EXPECT_EQ(form.lbInformation->Caption, "Encrypting 3 files.");
    EXPECT_EQ(form.ebPassword->PasswordChar, '*');
    EXPECT_EQ(form.TabOrderList().front(), form.ebPassword);
    EXPECT_EQ(form.ActiveControl, form.ebPassword) << "the password has the focus";
    EXPECT_EQ(form.DefaultButton(), form.btnEncrypt);
    EXPECT_EQ(form.CancelButton(), form.bntCancel);
    EXPECT_EQ(form.ebPassword->Parent, form.gbCaption);
    EXPECT_EQ(form.Password->FocusControl, form.ebPassword);
    EXPECT_EQ(Batch.CipherSelector, 3);
}

TEST_F(PasswordDialog, AcceptingInEncryptModeSavesTheOptionAndTheDefaultPassword) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &kFiles, "Encrypting file: a");
    EXPECT_TRUE(settings.key_exists()) << "the key is created when the dialog is built";
    EXPECT_TRUE(form.cbxCreate->Enabled);
    EXPECT_FALSE(form.cbxCreate->Checked);
    ui.Modal<TForm1>([](TForm1 &f) {
          f.UserType("ebPassword", "password");
          f.UserClick("cbxCreate");
          EXPECT_EQ(Batch.MakeExeFile, 1);
          f.UserEnter();
      }).Modal<TConfirmDefault>(confirm_first("password"));
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.ebPassword->Text(), "password");
    EXPECT_EQ(stored_bool("AES"), true);
    EXPECT_EQ(stored_bool("MakeEXE"), true);
    EXPECT_EQ(stored_bool("KeepEncrypted"), std::nullopt);
    EXPECT_EQ(Batch.MakeExeFile, 1);
    EXPECT_EQ(stored_hash_key().size(), 20u);

    // The next dialog starts with the box ticked.
    TForm1 again(nullptr, &kFiles, "Encrypting file: a");
    EXPECT_TRUE(again.cbxCreate->Checked);
    EXPECT_EQ(Batch.MakeExeFile, 1);
}

TEST_F(PasswordDialog, CancelWritesNothing) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &kFiles, "Encrypting file: a");
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "password");
        f.UserClick("cbxCreate");
        f.UserClick("bntCancel");
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    for (const char *name : {"AES", "MakeEXE", "KeepEncrypted", "HashKey", "Default"})
        EXPECT_FALSE(platform::SettingsKey::Open()->ValueExists(name)) << name;
}

TEST_F(PasswordDialog, TheCloseBoxCancels) {
    Batch.EncryptMode = 0;
    TForm1 form(nullptr, &kFiles, "Decrypting file: a.qxv");
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "password");
        f.UserCloseBox();
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_FALSE(platform::SettingsKey::Open()->ValueExists("AES"));
}

TEST_F(PasswordDialog, TheExeOptionIsOfferedOnlyWhenTheStubIsThere) {
    Batch.EncryptMode = 1;
    settings.set_dword("MakeEXE", 1);
    stub_present = false;
    {
        TForm1 form(nullptr, &kFiles, "Encrypting file: a");
        EXPECT_FALSE(form.cbxCreate->Enabled);
        EXPECT_TRUE(form.cbxCreate->Visible);
        EXPECT_FALSE(form.cbxCreate->Checked) << "not loaded when not offered";
        EXPECT_EQ(Batch.MakeExeFile, 0);
    }
    stub_present = true;
    TForm1 form(nullptr, &kFiles, "Encrypting file: a");
    EXPECT_TRUE(form.cbxCreate->Enabled);
    EXPECT_TRUE(form.cbxCreate->Checked);
    EXPECT_EQ(Batch.MakeExeFile, 1);
}

TEST_F(PasswordDialog, ASingleFolderHidesTheExeOptionAndStoresItOff) {
    Batch.EncryptMode = 1;
    Batch.MakeExeFile = 1; // left over from an earlier command
    settings.set_dword("MakeEXE", 1);
    settings.set_binary("HashKey", qxv_test::from_hex("70e9d85c781fedbedf55802a3409ae46a14bdd60"));
    TForm1 form(nullptr, &kFolder, "Encrypting directory: /home/u/docs");
    EXPECT_FALSE(form.cbxCreate->Visible);
    EXPECT_FALSE(form.cbxCreate->Enabled);
    EXPECT_FALSE(form.cbxCreate->Checked);
    EXPECT_EQ(Batch.MakeExeFile, 0);
    ui.Modal<TForm1>([](TForm1 &f) {
        EXPECT_FALSE(f.UserClick("cbxCreate"));
        f.UserType("ebPassword", "password");
        f.UserEnter();
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(stored_bool("MakeEXE"), false);
    EXPECT_EQ(Batch.MakeExeFile, 0);
}

TEST_F(PasswordDialog, DecryptModeTextsAndNoConfirmation) {
    Batch.EncryptMode = 0;
    TForm1 form(nullptr, &kFiles, "Decrypting file: notes.txt.qxv");
    EXPECT_EQ(form.gbCaption->Caption, " Decrypt ");
    EXPECT_EQ(form.btnEncrypt->Caption, "&Decrypt");
    EXPECT_EQ(form.cbxCreate->Caption, "&Keep encrypted file:");
    EXPECT_TRUE(form.cbxCreate->Enabled);
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "any password at all");
        f.UserClick("cbxCreate");
        EXPECT_TRUE(Batch.KeepEncryptedFile);
        f.UserEnter();
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(ui.Log, std::vector<std::string>{"modal Form1"}) << "no confirmation dialog";
    EXPECT_EQ(stored_bool("KeepEncrypted"), true);
    EXPECT_EQ(stored_bool("AES"), true);
    EXPECT_EQ(stored_bool("MakeEXE"), std::nullopt);
    EXPECT_TRUE(stored_hash_key().empty()) << "decryption never sets a default password";
}

TEST_F(PasswordDialog, DecryptingAFolderKeepsTheLoadedKeepOption) {
    Batch.EncryptMode = 0;
    settings.set_dword("KeepEncrypted", 5);
    TForm1 form(nullptr, &kFolder, "Decrypting directory: /x");
    EXPECT_FALSE(form.cbxCreate->Visible);
    EXPECT_TRUE(form.cbxCreate->Checked);
    EXPECT_TRUE(Batch.KeepEncryptedFile);
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "password");
        f.UserEnter();
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(stored_bool("KeepEncrypted"), true);
}

TEST_F(PasswordDialog, DecryptModeWithoutSettingFollowsTheBatchState) {
    Batch.EncryptMode = 0;
    Batch.KeepEncryptedFile = true;
    TForm1 form(nullptr, &kFiles, "Decrypting 2 files.");
    EXPECT_TRUE(form.cbxCreate->Checked);
}

TEST_F(PasswordDialog, AnOptionOfTheWrongTypeStartsClearAndIsRepairedOnAccept) {
    Batch.EncryptMode = 0;
    settings.set_string("KeepEncrypted", "yes");
    TForm1 form(nullptr, &kFiles, "Decrypting file: a.qxv");
    EXPECT_FALSE(form.cbxCreate->Checked);
    ui.Modal<TForm1>([](TForm1 &f) {
        f.UserType("ebPassword", "password");
        f.UserEnter();
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(stored_bool("KeepEncrypted"), false);
}

TEST_F(PasswordDialog, AboutOpensTheAboutBoxAndReleasesIt) {
    Batch.EncryptMode = 1;
    TForm1 form(nullptr, &kFiles, "Encrypting file: a");
    ui.Modal<TForm1>([](TForm1 &f) {
          f.UserClick("btnAbout");
          EXPECT_EQ(AboutBox, nullptr);
          f.UserEscape();
      }).Modal<TAboutBox>([](TAboutBox &box) {
        EXPECT_EQ(AboutBox, &box);
        box.UserEnter();
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(ui.Log, (std::vector<std::string>{"modal Form1", "modal AboutBox"}));
}

TEST(CommandScope, ASecondCommandIsRefusedWhileOneRuns) {
    Batch.CommandRunning = false;
    {
        CommandScope first;
        EXPECT_TRUE(first.Acquired());
        CommandScope second;
        EXPECT_FALSE(second.Acquired());
    }
    EXPECT_FALSE(Batch.CommandRunning);
    CommandScope third;
    EXPECT_TRUE(third.Acquired());
}

TEST(BatchState, ResetLeavesTheExeOptionAndCipherSelector) {
    Batch.EncryptMode = 1;
    Batch.CancelRequested = 1;
    Batch.KeepEncryptedFile = true;
    Batch.MakeExeFile = 1;
    Batch.CipherSelector = 0;
    Batch.ResetForCommand();
    EXPECT_EQ(Batch.EncryptMode, -1);
    EXPECT_EQ(Batch.CancelRequested, 0);
    EXPECT_FALSE(Batch.KeepEncryptedFile);
    EXPECT_EQ(Batch.MakeExeFile, 1);
    EXPECT_EQ(Batch.CipherSelector, 0);
}

} // namespace
