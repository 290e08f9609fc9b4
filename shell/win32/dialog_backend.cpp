#include "shell/win32/dialog_backend.h"

// The Win32 backend belongs to the dialog layer; builds of the tree that predate it leave
// the backend the dialogs start with.
#if __has_include("ui/win32/win32_backend.h")
#include "ui/win32/win32_backend.h"

void UseWindowsDialogs() {
    static ui::Win32Backend backend;
    ui::SetBackend(&backend);
}
#else
void UseWindowsDialogs() {}
#endif
