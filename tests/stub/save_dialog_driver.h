// Drives a running qxvsd.exe from another process the way a person would: finds its windows,
// types into its fields, presses its buttons and reads its message boxes.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace stub_test {

class StubProcess {
public:
    // Starts `program` with `arguments` (the command line after the program's name).
    StubProcess(const std::filesystem::path &program, const std::wstring &arguments);
    ~StubProcess();
    StubProcess(const StubProcess &) = delete;
    StubProcess &operator=(const StubProcess &) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    // A visible top-level window of the process with this title (and this owner, if given);
    // nullptr when none appears within the time allowed.
    HWND wait_for_window(const std::wstring &title, HWND owner = nullptr) const;
    // The exit code, or -1 when the process did not end in time (it is then ended).
    int wait_for_exit();

private:
    PROCESS_INFORMATION process_{};
};

// A control anywhere below `window` with this id.
HWND find_control(HWND window, int id);
// Text through WM_GETTEXT/WM_SETTEXT, which reach controls of another process.
std::wstring control_text(HWND control);
void set_control_text(HWND control, const std::wstring &text);
// The texts of a message box's static controls, joined.
std::wstring message_box_text(HWND box);
// Presses a dialog button (IDOK, IDCANCEL, IDYES ...).
void press(HWND dialog, int button);

// The save dialog's file name box.
HWND file_name_box(HWND dialog);

} // namespace stub_test
