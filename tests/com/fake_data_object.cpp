#include "fake_data_object.h"

#include <shlobj.h>

#include <cstring>

FakeDataObject::FakeDataObject(std::vector<std::wstring> paths, bool with_drop)
    : paths_(std::move(paths)), with_drop_(with_drop) {}

STDMETHODIMP FakeDataObject::QueryInterface(REFIID iid, void **out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *out = static_cast<IDataObject *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FakeDataObject::AddRef() {
    return InterlockedIncrement(&references_);
}
STDMETHODIMP_(ULONG) FakeDataObject::Release() {
    return InterlockedDecrement(&references_);
}

bool FakeDataObject::Offers(const FORMATETC *format) const {
    return with_drop_ && format && format->cfFormat == CF_HDROP &&
           (format->tymed & TYMED_HGLOBAL) && format->dwAspect == DVASPECT_CONTENT;
}

STDMETHODIMP FakeDataObject::QueryGetData(FORMATETC *format) {
    return Offers(format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP FakeDataObject::GetCanonicalFormatEtc(FORMATETC *, FORMATETC *out) {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

// A fresh DROPFILES block on each call: the caller releases the medium.
STDMETHODIMP FakeDataObject::GetData(FORMATETC *format, STGMEDIUM *medium) {
    if (!medium) return E_INVALIDARG;
    if (!Offers(format)) return DV_E_FORMATETC;
    std::wstring names;
    for (const std::wstring &path : paths_)
        names += path + L'\0';
    names += L'\0';
    const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    if (!memory) return E_OUTOFMEMORY;
    auto *drop = static_cast<DROPFILES *>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}
