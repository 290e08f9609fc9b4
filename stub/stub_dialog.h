// What the stub asks of the person who runs it; one implementation per platform (the Win32 save
// dialog with its password field, a terminal dialog on POSIX systems).
#pragma once

#include "platform/secure_string.h"
#include "platform/shell_open.h"

#include <string>

class StubDialog {
public:
    virtual ~StubDialog() = default;

    // The single dialog: a password and the path to save the plain file to, starting from
    // `proposed`; the person has agreed to replace the file if it exists. False when the dialog
    // was cancelled or could not be shown. The password is the bytes typed (the ANSI code page on
    // Windows); it may come back empty only if the dialog failed to insist on one.
    virtual bool ask_password_and_output(const std::string &proposed,
                                         platform::SecureString &password,
                                         std::string &output_path) = 0;

    // One message to the person, under the caption "Quillomar Decryptor".
    virtual void show_message(const char *text) = 0;

    // Opens the file with the program associated with its type; false when there is none.
    // Tests replace it; the program asks the desktop.
    virtual bool open_with_associated_program(const std::string &path) {
        return platform::shell_open(path);
    }
};
