#include "platform/shell_open.h"
#include "platform/win32/utf16.h"

#include <windows.h>
// after windows.h, which they need
#include <objbase.h>
#include <shellapi.h>

namespace platform {

bool shell_open(const std::string &target) {
    // Some handlers behind ShellExecute are COM objects and expect an initialised apartment.
    // On a thread that has one already this only counts a reference, undone below.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HINSTANCE rc = ShellExecuteW(nullptr, L"open", win32::widen(target).c_str(), nullptr, nullptr,
                                 SW_SHOWDEFAULT);
    if (SUCCEEDED(com)) CoUninitialize();
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

} // namespace platform
