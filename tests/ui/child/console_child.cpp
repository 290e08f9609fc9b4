// A program that shows one dialog through the console backend, for tests that drive it
// from another process (pipes on Windows). Its exit code tells the outcome:
//   console_child password  -> the password dialog in encrypt mode (default password
//                              "password" expected in the settings): modal result, +10 when
//                              the password kept was "Secret12"
//   console_child boxes     -> Yes/No then OK/Cancel: 0 when answered Yes, then Cancel
#include "ui/Msgbox.h"
#include "ui/Qxvpop1.h"
#include "ui/batch_state.h"
#include "ui/console/console_backend.h"

#include <string>

int main(int argc, char **argv) {
    ui::ConsoleBackend console;
    ui::SetBackend(&console);
    const std::string scenario = argc > 1 ? argv[1] : "";
    if (scenario == "password") {
        ui::ExeOptionAvailable = [] { return false; };
        ui::Batch.EncryptMode = 1;
        const unsigned char files = 0;
        ui::TForm1 form(nullptr, &files, "Encrypting file: a.txt");
        int result = form.ShowModal();
        return result + (result == ui::mrOk && form.ebPassword->Text() == "Secret12" ? 10 : 0);
    }
    if (scenario == "boxes") {
        int a = ui::ShowMessageBox("Replace existing file?", "File Exist", ui::mbYesNo, 0, 0);
        int b = ui::ShowMessageBox("Continue?", "Invalid Password", ui::mbOKCancel, 0, 0);
        return a == ui::idYes && b == ui::idCancel ? 0 : 1;
    }
    return 100;
}
