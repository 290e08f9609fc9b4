#include "platform/shell_open.h"
#include "platform/win32/utf16.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace platform {

bool shell_open(const std::string &target) {
    HINSTANCE rc = ShellExecuteW(nullptr, L"open", win32::widen(target).c_str(), nullptr, nullptr,
                                 SW_SHOWDEFAULT);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

} // namespace platform
