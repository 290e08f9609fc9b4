// What the library writes to the registry when it is registered, and removes again when it is
// unregistered: the shell's approval entry, the class with its ProgID, and the type library.
#pragma once

#include <windows.h>

#include <objbase.h>

HRESULT RegisterServer();
HRESULT UnregisterServer();
