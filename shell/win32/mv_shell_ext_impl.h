// TMVShellExtImpl: the context-menu handler the file manager creates for files and folders.
// It keeps the selection (module-level, shell/selection.h), adds the "Quillomar" submenu and
// runs the chosen command. Apartment-threaded; every method is guarded against exceptions.
#pragma once

#include <windows.h>

#include <shlobj.h>

// Command offsets, relative to the first command identifier the file manager grants.
enum : UINT { CMD_ENCRYPT = 0, CMD_DECRYPT = 1, CMD_INFO = 2 };

class TMVShellExtImpl final : public IShellExtInit, public IContextMenu {
public:
    // The class factory's creation routine.
    static HRESULT Create(IUnknown *outer, REFIID iid, void **out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject *data, HKEY program_key) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first_id, UINT last_id,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO *info) override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT *reserved, CHAR *buffer,
                                  UINT size) override;

private:
    TMVShellExtImpl();
    ~TMVShellExtImpl();
    TMVShellExtImpl(const TMVShellExtImpl &) = delete;
    TMVShellExtImpl &operator=(const TMVShellExtImpl &) = delete;

    LONG references_ = 1;
};
