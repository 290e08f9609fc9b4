// Module-wide bookkeeping of the COM server: the counts of live objects and server locks that
// DllCanUnloadNow reports.
#pragma once

#include <windows.h>

void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);
bool ModuleInUse();

// Set when the process is ending (not on an ordinary unload): foreign COM objects must then
// not be called any more.
void ModuleSetProcessEnding();
bool ModuleProcessEnding();
