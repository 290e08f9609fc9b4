// A data object as the file manager hands it over: the selected paths in the file-drop format
// (CF_HDROP, wide names), or no file-drop format at all.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <string>
#include <vector>

class FakeDataObject final : public IDataObject {
public:
    // `with_drop` false: a data object that offers no file-drop format.
    explicit FakeDataObject(std::vector<std::wstring> paths, bool with_drop = true);

    LONG References() const { return references_; }

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetData(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP GetDataHere(FORMATETC *, STGMEDIUM *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC *format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC *, FORMATETC *out) override;
    STDMETHODIMP SetData(FORMATETC *, STGMEDIUM *, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC **) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA **) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    bool Offers(const FORMATETC *format) const;

    std::vector<std::wstring> paths_;
    bool with_drop_;
    LONG references_ = 1; // the test holds the first reference and never lets it go to 0
};
