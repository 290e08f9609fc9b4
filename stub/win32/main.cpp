// qxvsd.exe: decrypts the container appended to its own file, or the file named on its
// command line.
#include "platform/file_system.h"
#include "platform/win32/utf16.h"
#include "stub/stub_flow.h"
#include "stub/stub_paths.h"
#include "stub/win32/win32_stub_dialog.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    std::string input = stub_input_path(platform::win32::narrow(command_line ? command_line : L""),
                                        platform::file_system().module_path());
    Win32StubDialog dialog;
    return stub_exit_code(qxvsd_run(input, dialog));
}
