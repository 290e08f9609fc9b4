// Small helpers shared by the COM objects: QueryInterface from a table, and the guard that
// keeps C++ exceptions from crossing the COM boundary.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <new>

// One row of an object's interface table: the IID and the object seen as that interface.
struct InterfaceEntry {
    const IID *iid;
    IUnknown *pointer;
};

// Finds `iid` among `count` rows (IID_IUnknown answers with the first row), adds a reference
// through the found interface and returns it in `out`.
HRESULT QueryInterfaceFromTable(const InterfaceEntry *table, size_t count, REFIID iid, void **out);

// Runs `body` and turns any exception into a COM result.
template <typename Body> HRESULT GuardCom(Body &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
