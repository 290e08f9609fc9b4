// Where the self-decrypting stub is expected: beside the running module (the shell
// extension's library or the program), named "qxvsd.exe" on Windows and "qxvsd" elsewhere.
#pragma once

#include <string>

namespace platform {

std::string stub_file_path();
// True when a regular file lies at stub_file_path().
bool stub_file_present();

} // namespace platform
