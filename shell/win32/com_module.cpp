#include "shell/win32/com_module.h"

namespace {

LONG g_objects = 0;
LONG g_locks = 0;
bool g_process_ending = false;

} // namespace

void ModuleObjectCreated() {
    InterlockedIncrement(&g_objects);
}
void ModuleObjectDestroyed() {
    InterlockedDecrement(&g_objects);
}
void ModuleLock(bool lock) {
    if (lock)
        InterlockedIncrement(&g_locks);
    else
        InterlockedDecrement(&g_locks);
}
bool ModuleInUse() {
    return InterlockedCompareExchange(&g_objects, 0, 0) != 0 ||
           InterlockedCompareExchange(&g_locks, 0, 0) != 0;
}

void ModuleSetProcessEnding() {
    g_process_ending = true;
}
bool ModuleProcessEnding() {
    return g_process_ending;
}
