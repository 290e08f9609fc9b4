#include "shell/win32/dialog_backend.h"

#include "ui/win32/win32_backend.h"

void UseWindowsDialogs() {
    static ui::Win32Backend backend;
    ui::SetBackend(&backend);
}
