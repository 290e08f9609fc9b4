#include "shell/win32/com_support.h"

HRESULT QueryInterfaceFromTable(const InterfaceEntry *table, size_t count, REFIID iid, void **out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (IsEqualIID(iid, *table[i].iid) || (i == 0 && IsEqualIID(iid, IID_IUnknown))) {
            table[i].pointer->AddRef();
            *out = table[i].pointer;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}
