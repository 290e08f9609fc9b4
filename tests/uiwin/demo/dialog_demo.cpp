// Shows one dialog through the Win32 backend for a few seconds, with a password typed where
// there is one, then closes it: what tools/screenshot-dialogs photographs.
//   uiwin_dialog_demo form1|form1-decrypt|confirm-default|confirm-password|about|progress|
//                     message-box [seconds]
#include "tests/uiwin/window_driver.h"
#include "ui/QXVAbout.h"
#include "ui/Qxvconfirmdefault.h"
#include "ui/Qxvconfirmpassword.h"
#include "ui/Qxvpop1.h"
#include "ui/Qxvprogress.h"
#include "ui/batch_state.h"
#include "ui/win32/win32_backend.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

ui::Win32Backend backend;
int seconds = 4;

// Types into the focused edit of the newest dialog, then closes it once the time is up.
void TypeThenClose(qxv_test::WindowDriver &driver, const wchar_t *password) {
    driver.Then([password](HWND window) {
        HWND focus = GetFocus();
        wchar_t cls[16] = {};
        if (focus && password && GetClassNameW(focus, cls, 16) && lstrcmpiW(cls, L"Edit") == 0)
            SetWindowTextW(focus, password);
        static HWND target;
        target = window;
        SetTimer(nullptr, 0, UINT(seconds * 1000), [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            PostMessageW(target, WM_CLOSE, 0, 0);
        });
    });
}

} // namespace

int main(int argc, char **argv) {
    const std::string which = argc > 1 ? argv[1] : "form1";
    if (argc > 2) seconds = std::atoi(argv[2]);
    ui::SetBackend(&backend);
    ui::ExeOptionAvailable = [] { return true; };
    qxv_test::WindowDriver driver(seconds + 20);
    if (which == "form1" || which == "form1-decrypt") {
        ui::Batch.EncryptMode = which == "form1" ? 1 : 0;
        ui::TForm1 form(nullptr, nullptr,
                        which == "form1" ? "Encrypting 3 files." : "file: report.pdf.qxv");
        TypeThenClose(driver, L"secret-passphrase");
        form.ShowModal();
    } else if (which == "confirm-default") {
        ui::TConfirmDefault form(nullptr, "secret-passphrase");
        TypeThenClose(driver, L"secret-passphrase");
        form.ShowModal();
    } else if (which == "confirm-password") {
        ui::TConfirmPassword form(nullptr, "secret-passphrase");
        TypeThenClose(driver, L"secret-passphrase");
        form.ShowModal();
    } else if (which == "about") {
        ui::TAboutBox form(nullptr);
        TypeThenClose(driver, nullptr);
        form.ShowModal();
    } else if (which == "message-box") {
        driver.Then([](HWND box) {
            static HWND target;
            target = box;
            SetTimer(nullptr, 0, UINT(seconds * 1000), [](HWND, UINT, UINT_PTR id, DWORD) {
                KillTimer(nullptr, id);
                PostMessageW(target, WM_COMMAND, IDOK, 0);
            });
        });
        backend.RunMessageBox(nullptr, "The two passwords are not equal.", "Confirm Password",
                              ui::mbIconExclamation);
    } else if (which == "progress") {
        ui::TForm2 form(nullptr);
        form.ProgressBar1->Max = 5;
        form.ProgressBar1->Step = 1;
        form.Show();
        form.FileName->Caption = "Encrypting file: C:\\Users\\ada\\Documents\\report.pdf";
        form.ProgressBar1->StepIt();
        form.ProgressBar1->StepIt();
        form.Update();
        for (int i = 0; i < seconds * 20; ++i) {
            ui::ProcessMessages();
            Sleep(50);
        }
    } else {
        std::fprintf(stderr, "unknown dialog %s\n", which.c_str());
        return 2;
    }
    return 0;
}
