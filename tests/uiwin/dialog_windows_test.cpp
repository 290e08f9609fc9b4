// The password dialog and the two confirmations as real windows: layout, the 8-character
// rule seen on the real button, Enter, Esc, accelerators, Tab, and the password's bytes.
#include "tests/uiwin/uiwin_fixture.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"

#include <commctrl.h>

namespace qxv_test {
namespace {

using ui::TForm1;

std::wstring &lastText() {
    static std::wstring text = L"unset";
    return text;
}

class PasswordDialogWindow : public WindowTest {
protected:
    // Types into an edit as the user would: the window's own text changes (EN_CHANGE).
    static void Type(HWND edit, const wchar_t *text) { SetWindowTextW(edit, text); }
};

TEST_F(PasswordDialogWindow, OpensWithEveryControlInPlace) {
    ui::Batch.EncryptMode = 1;
    TForm1 form(nullptr, nullptr, "Encrypting 2 files.");
    bool checked = false;
    driver.Then([&](HWND window) {
        checked = true;
        EXPECT_EQ(window, backend.WindowOf(form));
        ExpectLayout(form);
        HWND box = Control(form.cbxCreate);
        EXPECT_EQ(TextOf(box), L"&Create EXE-File:");
        EXPECT_TRUE(GetWindowLongW(box, GWL_STYLE) & BS_LEFTTEXT);
        EXPECT_TRUE(GetWindowLongW(Control(form.ebPassword), GWL_STYLE) & ES_PASSWORD);
        EXPECT_EQ(SendMessageW(Control(form.ebPassword), EM_GETPASSWORDCHAR, 0, 0), L'*');
        EXPECT_EQ(TextOf(Control(form.lbInformation)), L"Encrypting 2 files.");
        EXPECT_EQ(TextOf(Control(form.gbCaption)), L" Encrypt ");
        EXPECT_FALSE(IsWindowEnabled(Control(form.btnEncrypt)));
        EXPECT_EQ(GetFocus(), Control(form.ebPassword));
        PressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
    EXPECT_TRUE(checked);
    EXPECT_EQ(backend.WindowOf(form), nullptr) << "the window is gone after the modal run";
}

TEST_F(PasswordDialogWindow, EncryptEnabledFromTheEighthCharacterAndEnterOnlyThen) {
    ui::Batch.EncryptMode = 0; // no password confirmation in this mode
    TForm1 form(nullptr, nullptr, "file: a.qxv");
    driver
        .Then([&](HWND) {
            HWND edit = Control(form.ebPassword), button = Control(form.btnEncrypt);
            Type(edit, L"1234567");
            EXPECT_FALSE(IsWindowEnabled(button));
            Type(edit, L"12345678");
            EXPECT_TRUE(IsWindowEnabled(button));
            Type(edit, L"1234567");
            EXPECT_FALSE(IsWindowEnabled(button));
            PressKey(edit, VK_RETURN); // refused: the dialog stays open
        })
        .Then(
            [&](HWND) {
                EXPECT_EQ(form.ModalResult, ui::mrNone);
                Type(Control(form.ebPassword), L"12345678");
                PressKey(Control(form.ebPassword), VK_RETURN);
            },
            true);
    EXPECT_EQ(form.ShowModal(), ui::mrOk);
    EXPECT_EQ(form.ebPassword->Text(), "12345678");
}

TEST_F(PasswordDialogWindow, EnterOnAFocusedButtonPressesThatButton) {
    ui::Batch.EncryptMode = 0;
    TForm1 form(nullptr, nullptr, "file: a.qxv");
    driver.Then([&](HWND) {
        Type(Control(form.ebPassword), L"12345678"); // the default button could take Enter
        SetFocus(Control(form.bntCancel));
        PressKey(Control(form.bntCancel), VK_RETURN);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
}

TEST_F(PasswordDialogWindow, TypedTextIsClearedFromTheEditWhenTheWindowGoes) {
    ui::Batch.EncryptMode = 0;
    TForm1 form(nullptr, nullptr, "file: a.qxv");
    HWND edit = nullptr;
    driver.Then([&](HWND) {
        edit = Control(form.ebPassword);
        Type(edit, L"12345678");
        // Watch the control's last text on its way out.
        SetWindowSubclass(
            edit,
            [](HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
                if (m == WM_DESTROY) lastText() = TextOf(h);
                return DefSubclassProc(h, m, w, l);
            },
            1, 0);
        PressKey(edit, VK_RETURN);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrOk);
    EXPECT_EQ(lastText(), L"");
    EXPECT_EQ(form.ebPassword->Text(), "12345678") << "the form keeps it for the caller";
}

TEST_F(PasswordDialogWindow, PasswordReachesTheFormInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    ui::Batch.EncryptMode = 0;
    TForm1 form(nullptr, nullptr, "file: a.qxv");
    driver.Then([&](HWND) {
        Type(Control(form.ebPassword), L"Passw\u00f6rt\u20ac");
        PressKey(Control(form.ebPassword), VK_RETURN);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrOk);
    // Windows-1252: o-umlaut 0xF6, euro sign 0x80.
    EXPECT_EQ(form.ebPassword->Text(), "Passw\xF6rt\x80");
}

TEST_F(PasswordDialogWindow, CloseBoxAndCheckBoxReachTheForm) {
    ui::Batch.EncryptMode = 0;
    TForm1 form(nullptr, nullptr, "file: a.qxv");
    driver.Then([&](HWND window) {
        HWND box = Control(form.cbxCreate);
        EXPECT_EQ(TextOf(box), L"&Keep encrypted file:");
        SendMessageW(box, BM_CLICK, 0, 0);
        EXPECT_TRUE(form.cbxCreate->Checked);
        EXPECT_TRUE(ui::Batch.KeepEncryptedFile);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
}

TEST_F(PasswordDialogWindow, SingleFolderHidesTheCheckBoxAndTabSkipsIt) {
    ui::Batch.EncryptMode = 1;
    const unsigned char folder = 1;
    TForm1 form(nullptr, &folder, "directory: d");
    driver.Then([&](HWND window) {
        ExpectLayout(form);
        EXPECT_FALSE(IsWindowVisible(Control(form.cbxCreate)));
        // Tab from the password: the disabled Encrypt and the hidden box are passed over.
        HWND next = GetNextDlgTabItem(window, Control(form.ebPassword), FALSE);
        EXPECT_EQ(next, Control(form.bntCancel));
        EXPECT_EQ(GetNextDlgTabItem(window, next, FALSE), Control(form.btnAbout));
        Type(Control(form.ebPassword), L"12345678");
        EXPECT_EQ(GetNextDlgTabItem(window, Control(form.ebPassword), FALSE),
                  Control(form.btnEncrypt));
        PressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
}

TEST_F(PasswordDialogWindow, AcceleratorsPressButtonsAndFocusTheNamedEdit) {
    ui::Batch.EncryptMode = 1;
    TForm1 form(nullptr, nullptr, "Encrypting 1 files.");
    bool aboutShown = false;
    driver
        .Then([&](HWND window) {
            SetFocus(Control(form.bntCancel));
            PressAlt(window, L'p'); // "&Password:" focuses the edit it names
        })
        .Then(
            [&](HWND window) {
                EXPECT_EQ(GetFocus(), Control(form.ebPassword));
                PressAlt(window, L'a'); // "&About"
            },
            true)
        .Then([&](HWND about) {
            aboutShown = TextOf(about) == L"About Quillomar";
            EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(backend.WindowOf(form))))
                << "the owner is disabled while the about box is up";
            PressKey(GetFocus(), VK_ESCAPE);
        })
        .Then([&](HWND window) {
            EXPECT_EQ(window, backend.WindowOf(form));
            EXPECT_TRUE(IsWindowEnabled(window));
            PressKey(GetFocus(), VK_ESCAPE);
        });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
    EXPECT_TRUE(aboutShown);
}

// The first encryption: the default password is confirmed in a nested dialog; a mismatch is
// told in a message box owned by it; giving up there leaves the password dialog open with an
// empty password and Encrypt disabled.
TEST_F(PasswordDialogWindow, ConfirmDefaultOpensNestedAndAMismatchIsTold) {
    ui::Batch.EncryptMode = 1;
    TForm1 form(nullptr, nullptr, "Encrypting 1 files.");
    HWND confirm = nullptr;
    driver
        .Then([&](HWND) {
            Type(Control(form.ebPassword), L"correct horse");
            PressKey(Control(form.ebPassword), VK_RETURN);
        })
        .Then([&](HWND window) {
            confirm = window;
            EXPECT_EQ(TextOf(window), L"Quillomar Confirm Default Password");
            HWND edit = GetFocus();
            EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_PASSWORD);
            SetWindowTextW(edit, L"correct horsf");
            PressKey(edit, VK_RETURN);
        })
        .Then([&](HWND box) {
            EXPECT_EQ(TextOf(box), L"Confirm Password");
            EXPECT_EQ(GetWindow(box, GW_OWNER), confirm);
            SendMessageW(box, WM_COMMAND, IDOK, 0);
        })
        .Then([&](HWND window) {
            EXPECT_EQ(window, confirm);
            PressKey(GetFocus(), VK_ESCAPE);
        })
        .Then([&](HWND window) {
            EXPECT_EQ(window, backend.WindowOf(form));
            EXPECT_EQ(TextOf(Control(form.ebPassword)), L"");
            EXPECT_FALSE(IsWindowEnabled(Control(form.btnEncrypt)));
            EXPECT_EQ(GetFocus(), Control(form.ebPassword));
            PressKey(GetFocus(), VK_ESCAPE);
        });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
}

TEST_F(PasswordDialogWindow, ConfirmationDialogsOpenWithTheirControlsInPlace) {
    ui::Batch.EncryptMode = 1;
    ui::TConfirmDefault confirmDefault(nullptr, "password1");
    driver.Then([&](HWND) {
        ExpectLayout(confirmDefault);
        PressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_NE(confirmDefault.ShowModal(), ui::mrOk);

    ui::TConfirmPassword confirmPassword(nullptr, "password1");
    driver.Then([&](HWND) {
        ExpectLayout(confirmPassword);
        HWND box = Control(confirmPassword.cbxDefault);
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & (BS_LEFTTEXT | BS_RIGHTBUTTON),
                  BS_LEFTTEXT | BS_RIGHTBUTTON);
        SetWindowTextW(Control(confirmPassword.ebConfirmPassword), L"password1");
        PressKey(GetFocus(), VK_RETURN);
    });
    EXPECT_EQ(confirmPassword.ShowModal(), ui::mrOk);
}

} // namespace
} // namespace qxv_test
