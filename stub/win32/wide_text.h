// UTF-8 inside the program, UTF-16 at the Win32 API.
#pragma once

#include <string>

std::wstring stub_widen(const std::string &utf8);
std::string stub_narrow(const std::wstring &utf16);
