// The texts the stub shows, word for word (spelling included: users and scripts know them).
// "Invalid file format" and "Invalid file format." are two messages, told apart by the stop.
#pragma once

constexpr const char *STUB_CAPTION = "Quillomar Decryptor";
constexpr const char *STUB_DIALOG_TITLE = "Orvanel Quillomar Decrypt and Save";
constexpr const char *STUB_DIALOG_TEXT =
    "This program contains an encrypted Quillomar file. For decrypting enter Password and choose "
    "name for the decrypted file. Then press Save. ";

constexpr const char *STUB_MSG_CANNOT_OPEN = "Could not open file.";
constexpr const char *STUB_MSG_NOT_SELFDECRYPTING =
    "This file is not a valid selfdecrypting Quillomar file.";
constexpr const char *STUB_MSG_NOT_QUILLOMAR = "This is not a valid Quillomar file.";
constexpr const char *STUB_MSG_BAD_OFFSET = "This file has an invalid file format.";
constexpr const char *STUB_MSG_NO_TRAILER = "Invalid file format";
constexpr const char *STUB_MSG_BAD_HEADER = "Invalid file format.";
constexpr const char *STUB_MSG_BAD_FIELDS = "Invalid file format";
constexpr const char *STUB_MSG_ENTER_PASSWORD = "You must enter a password";
constexpr const char *STUB_MSG_EMPTY_PASSWORD = "Empty Password";
constexpr const char *STUB_MSG_PASSWORD_NUL =
    "The password contains a NUL byte, which a password cannot hold.";
constexpr const char *STUB_MSG_CANNOT_CREATE = "Could not create output file";
constexpr const char *STUB_MSG_WRONG_PASSWORD = "Wrong password entered";
constexpr const char *STUB_MSG_FILE_ERROR = "File error";
constexpr const char *STUB_MSG_TYPE_UNKNOWN = "Decryption succesful but file type is unknown";

// The Linux stub's own texts: started without a terminal and none to open, and the last line
// in the terminal emulator's window before it closes.
constexpr const char *STUB_MSG_NO_TERMINAL =
    "No terminal to ask for the password in: run this file in a terminal.";
constexpr const char *STUB_PRESS_ENTER = "Press Enter to close this window.";
