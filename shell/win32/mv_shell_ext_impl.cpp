#include "shell/win32/mv_shell_ext_impl.h"

#include "platform/file_system.h"
#include "shell/commands.h"
#include "shell/selection.h"
#include "shell/win32/com_module.h"
#include "shell/win32/com_support.h"
#include "shell/win32/dialog_backend.h"
#include "shell/win32/drop_selection.h"
#include "ui/batch_state.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct MenuCommand {
    const wchar_t *text;
    const char *help;
};

// Indexed by command offset.
constexpr MenuCommand kCommands[] = {
    {L"&Encrypt", "Encrypt selected files"},
    {L"&Decrypt", "Decrypt selected files"},
    {L"&Info", "Get Quillomar information"},
};
constexpr UINT kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

// A command runs on the file manager's thread but lets window messages through between files,
// so a second menu can be opened and used meanwhile; it must neither start a second command
// (the commands hold ui::CommandScope) nor replace the selection the running one reads.
bool CommandRunning() {
    return ui::Batch.CommandRunning;
}

// A single selected item that is a readable, non-folder file. An item whose attributes cannot
// be read counts as a folder.
bool SelectionIsOneFile() {
    if (GetSelectionCount() != 1) return false;
    const std::string path = GetSelectionPath(0);
    if (path.empty()) return false;
    const auto attributes = platform::file_system().attributes(path);
    return attributes && !attributes->is_folder;
}

// The normal menu (no bit of the low four set), a verbs-only or an explorer-tree menu get the
// entries; a default-only or no-verbs request and other combinations get nothing.
bool FlagsWantEntries(UINT flags) {
    if ((flags & 0xF) == 0) return true;
    if (flags & CMF_VERBSONLY) return true;
    if (flags & CMF_EXPLORE) return true;
    return false;
}

// The submenu with `count` entries, or nullptr.
HMENU BuildPopup(UINT first_id, UINT count) {
    HMENU popup = CreatePopupMenu();
    if (!popup) return nullptr;
    for (UINT offset = 0; offset < count; ++offset) {
        if (!InsertMenuW(popup, offset, MF_BYPOSITION | MF_STRING, first_id + offset,
                         kCommands[offset].text)) {
            DestroyMenu(popup);
            return nullptr;
        }
    }
    return popup;
}

// Inserts separator, popup, separator at `index`; on failure takes back what it inserted
// and destroys the popup.
bool InsertSubmenu(HMENU menu, UINT index, HMENU popup) {
    if (!InsertMenuW(menu, index, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr)) {
        DestroyMenu(popup);
        return false;
    }
    if (!InsertMenuW(menu, index + 1, MF_BYPOSITION | MF_POPUP | MF_STRING,
                     reinterpret_cast<UINT_PTR>(popup), L"Quillomar")) {
        DestroyMenu(popup);
        DeleteMenu(menu, index, MF_BYPOSITION);
        return false;
    }
    if (!InsertMenuW(menu, index + 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr)) {
        DeleteMenu(menu, index + 1, MF_BYPOSITION); // destroys the attached popup too
        DeleteMenu(menu, index, MF_BYPOSITION);
        return false;
    }
    return true;
}

} // namespace

TMVShellExtImpl::TMVShellExtImpl() {
    ModuleObjectCreated();
}
TMVShellExtImpl::~TMVShellExtImpl() {
    ModuleObjectDestroyed();
}

HRESULT TMVShellExtImpl::Create(IUnknown *outer, REFIID iid, void **out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    TMVShellExtImpl *object = new (std::nothrow) TMVShellExtImpl();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
}

STDMETHODIMP TMVShellExtImpl::QueryInterface(REFIID iid, void **out) {
    const InterfaceEntry table[] = {
        {&IID_IShellExtInit, static_cast<IShellExtInit *>(this)},
        {&IID_IContextMenu, static_cast<IContextMenu *>(this)},
    };
    return QueryInterfaceFromTable(table, 2, iid, out);
}

STDMETHODIMP_(ULONG) TMVShellExtImpl::AddRef() {
    return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) TMVShellExtImpl::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP TMVShellExtImpl::Initialize(PCIDLIST_ABSOLUTE, IDataObject *data, HKEY) {
    return GuardCom([&]() -> HRESULT {
        if (CommandRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
        SetSelection(nullptr);
        if (data) SetSelection(std::make_unique<DropSelection>(data));
        return S_OK;
    });
}

STDMETHODIMP TMVShellExtImpl::QueryContextMenu(HMENU menu, UINT index, UINT first_id, UINT last_id,
                                               UINT flags) {
    return GuardCom([&]() -> HRESULT {
        if (!FlagsWantEntries(flags)) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
        // Use no identifier beyond the granted range.
        const UINT granted = last_id >= first_id ? last_id - first_id + 1 : 0;
        UINT count = SelectionIsOneFile() ? 3 : 2;
        if (granted < count) count = granted >= 2 ? 2 : 0;
        if (count == 0) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);

        HMENU popup = BuildPopup(first_id, count);
        if (!popup || !InsertSubmenu(menu, index, popup)) return E_FAIL;
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, count);
    });
}

STDMETHODIMP TMVShellExtImpl::InvokeCommand(CMINVOKECOMMANDINFO *info) {
    return GuardCom([&]() -> HRESULT {
        if (!info) return E_INVALIDARG;
        if (CommandRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
        ui::Batch.ResetForCommand();
        // A command given by verb text carries a pointer, not an offset.
        const uintptr_t verb = reinterpret_cast<uintptr_t>(info->lpVerb);
        if (verb >> 16 != 0) return E_INVALIDARG;
        if (verb >= kCommandCount) return E_INVALIDARG;
        UseWindowsDialogs();
        void *window = info->hwnd;
        // Every file's outcome was shown to the user; the file manager learns only that the
        // command ran.
        int result = 0;
        switch (verb) {
        case CMD_ENCRYPT:
            ProcessSelection(window, 1);
            break;
        case CMD_DECRYPT:
            ProcessSelection(window, 0);
            break;
        case CMD_INFO:
            result = ShowFileInfo(window);
            break;
        default:
            return E_INVALIDARG;
        }
        return result == 0 ? S_OK : E_FAIL;
    });
}

STDMETHODIMP TMVShellExtImpl::GetCommandString(UINT_PTR command, UINT type, UINT *, CHAR *buffer,
                                               UINT size) {
    return GuardCom([&]() -> HRESULT {
        // Whatever the request, a caller that reads the buffer after success finds a
        // terminated text there, never what the buffer held before.
        if (!buffer || size == 0) return S_OK;
        if (type & GCS_UNICODE) {
            // Unicode requests get an empty text: the file manager shows no help for them.
            reinterpret_cast<wchar_t *>(buffer)[0] = L'\0';
            return S_OK;
        }
        buffer[0] = '\0';
        if (command >= kCommandCount) return S_OK;
        const char *help = kCommands[command].help;
        const size_t length = std::min<size_t>(std::strlen(help), size - 1);
        std::memcpy(buffer, help, length);
        buffer[length] = '\0';
        return S_OK;
    });
}
