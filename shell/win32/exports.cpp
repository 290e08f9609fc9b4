// The in-process server's entry points (exported by name through QXVShell.def).
#include "shell/win32/class_factory.h"
#include "shell/win32/com_module.h"
#include "shell/win32/com_support.h"
#include "shell/win32/registration.h"

#include <windows.h>

#include <objbase.h>
#include <olectl.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        ModuleSetProcessEnding();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID *out) {
    return GuardCom([&] { return GetClassFactory(clsid, iid, out); });
}

STDAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return GuardCom([] { return RegisterServer(); });
}

STDAPI DllUnregisterServer() {
    return GuardCom([] { return UnregisterServer(); });
}
