// UTF-8 inside the program, UTF-16 at the Windows API.
#pragma once

#include <string>

namespace platform::win32 {

std::wstring widen(const std::string &text);
std::string narrow(const std::wstring &text);
// A path for the wide file APIs: long absolute paths get the \\?\ prefix, which lifts the
// 260-character limit (and turns off the conversion of "/", so it is done here).
std::wstring wide_path(const std::string &path);

} // namespace platform::win32
