// The stub's dialog on POSIX systems, in the terminal: the title and explanation, a hidden
// password prompt that insists on a password, the proposed file name to keep or change, and the
// question before an existing file is replaced. When standard input is not a terminal nothing is
// prompted: the password and then the file name (an empty line keeps the proposed one) are read
// line by line, and a "y" line answers the question about replacing. Ctrl-C cancels.
// Messages go to standard error as "Quillomar Decryptor: text".
#pragma once

#include "stub/stub_dialog.h"

class TerminalStubDialog final : public StubDialog {
public:
    TerminalStubDialog();

    bool ask_password_and_output(const std::string &proposed, platform::SecureString &password,
                                 std::string &output_path) override;
    void show_message(const char *text) override;
    // True once a message was shown (a window about to close should wait for it to be read).
    bool showed_message() const { return showed_message_; }

private:
    bool read_password(platform::SecureString &password, bool &cancelled);
    bool confirm_replace(const std::string &path);

    bool interactive_;
    bool showed_message_ = false;
};
