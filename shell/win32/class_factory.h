// The class factory of the COM server, serving the classes of a fixed table.
#pragma once

#include <windows.h>

#include <objbase.h>

// DllGetClassObject's work: a factory for `clsid` (CLASS_E_CLASSNOTAVAILABLE for others).
HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void **out);
