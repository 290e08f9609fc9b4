// The stub's dialog on Windows: the system's save-file dialog with the password area of
// resource 102 and message boxes without owner.
#pragma once

#include "stub/stub_dialog.h"

class Win32StubDialog final : public StubDialog {
public:
    bool ask_password_and_output(const std::string &proposed, platform::SecureString &password,
                                 std::string &output_path) override;
    void show_message(const char *text) override;
};

// A stub message box: no owner, caption "Quillomar Decryptor", OK, no icon, in the foreground.
void stub_message_box(const char *text);
