// The names of the values the dialogs keep in the settings key (platform/settings.h).
#pragma once

namespace ui {

// bool: the decrypt option "&Keep encrypted file:", read when TForm1 is built, written on
// accepting.
constexpr const char *SettingKeepEncrypted = "KeepEncrypted";
// bool: the encrypt option "&Create EXE-File:", read when offered, written on accepting.
constexpr const char *SettingMakeExe = "MakeEXE";
// bool: written true on every acceptance of TForm1; nothing reads it back.
constexpr const char *SettingAes = "AES";
// binary, 20 bytes: the default password's verifier (default_password.h).
constexpr const char *SettingHashKey = "HashKey";
// bool: "&Use as default password:" of TConfirmPassword.
constexpr const char *SettingDefault = "Default";

} // namespace ui
