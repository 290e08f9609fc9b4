// Whether a Windows test program runs under Wine, where some Windows behaviour rests on the
// Linux file system (no settable creation time, for one).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace qxv_test {

inline bool running_under_wine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

} // namespace qxv_test
