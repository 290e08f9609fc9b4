#include "shell/win32/registration.h"

#include "platform/file_system.h"
#include "platform/win32/registry.h"
#include "platform/win32/utf16.h"
#include "shell/win32/guids.h"

#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The real path of this library, whatever file system a test may have set.
std::string ModulePath() {
    return platform::native_file_system().module_path();
}

const char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kProgId[] = "Project4.MVShellExt";
const char kDescription[] = "MV Shell Extension";

// One value the registration writes. Unregistration deletes `tree` when it is set (the whole
// key the value lies under), and otherwise just the value.
struct RegistryEntry {
    platform::win32::RegistryRoot root;
    std::string key;
    std::string name; // empty: the key's default value
    std::string value;
    std::string tree;
};

std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return platform::win32::narrow(text);
}

// The library's path as the class key holds it: in short form when it contains a space.
std::string ServerPath() {
    const std::string path = ModulePath();
    if (path.find(' ') == std::string::npos) return path;
    const std::wstring wide = platform::win32::widen(path);
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::vector<wchar_t> short_path(needed, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), short_path.data(), needed);
    if (length == 0 || length >= needed) return path;
    return platform::win32::narrow(std::wstring(short_path.data(), length));
}

// The type library embedded in this library (resource TYPELIB 1), or nullptr.
ITypeLib *LoadOwnTypeLib() {
    const std::wstring path = platform::win32::widen(ModulePath());
    ITypeLib *library = nullptr;
    if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
    return library;
}

// The approval entry comes first: if it cannot be written, nothing else is.
std::vector<RegistryEntry> ApprovalEntries() {
    return {{platform::win32::RegistryRoot::LocalMachine, kApprovedKey, GuidText(CLSID_MVShellExt),
             "QXVShell", ""}};
}

std::vector<RegistryEntry> ClassEntries(const std::string &version) {
    const std::string clsid = GuidText(CLSID_MVShellExt);
    const std::string class_key = "CLSID\\" + clsid;
    const platform::win32::RegistryRoot root = platform::win32::RegistryRoot::ClassesRoot;
    return {
        {root, class_key, "", kDescription, class_key},
        {root, class_key + "\\InprocServer32", "", ServerPath(), class_key},
        {root, class_key + "\\InprocServer32", "ThreadingModel", "Apartment", class_key},
        {root, class_key + "\\ProgID", "", kProgId, class_key},
        {root, class_key + "\\Version", "", version, class_key},
        {root, class_key + "\\Typelib", "", GuidText(LIBID_QXVShell), class_key},
        {root, kProgId, "", kDescription, kProgId},
        {root, std::string(kProgId) + "\\CLSID", "", clsid, kProgId},
    };
}

// Writes every entry (register) or removes every entry (unregister), from the same table.
// Writing stops at the first failure; removal goes through all and reports the first failure.
long ApplyEntries(const std::vector<RegistryEntry> &entries, bool install) {
    long first_failure = ERROR_SUCCESS;
    for (const RegistryEntry &entry : entries) {
        long status;
        if (install)
            status = platform::win32::registry_write_string(entry.root, entry.key, entry.name,
                                                            entry.value);
        else if (!entry.tree.empty())
            status = platform::win32::registry_delete_tree(entry.root, entry.tree);
        else
            status = platform::win32::registry_delete_value(entry.root, entry.key, entry.name);
        if (status != ERROR_SUCCESS) {
            if (install) return status;
            if (first_failure == ERROR_SUCCESS) first_failure = status;
        }
    }
    return first_failure;
}

std::string VersionText(const TLIBATTR &attributes) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", attributes.wMajorVerNum, attributes.wMinorVerNum);
    return text;
}

HRESULT UnregisterTypeLib() {
    ITypeLib *library = LoadOwnTypeLib();
    // The type library lives in this file; if it cannot be read, it cannot have been registered.
    if (!library) return S_OK;
    TLIBATTR *attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (SUCCEEDED(result)) {
        result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                   attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    // Unregistering what is not registered is no failure.
    const bool left = platform::win32::registry_key_exists(
        platform::win32::RegistryRoot::ClassesRoot, "TypeLib\\" + GuidText(LIBID_QXVShell));
    return left && FAILED(result) ? result : S_OK;
}

} // namespace

HRESULT RegisterServer() {
    if (ApplyEntries(ApprovalEntries(), true) != ERROR_SUCCESS) return E_ACCESSDENIED;

    ITypeLib *library = LoadOwnTypeLib();
    if (!library) {
        ApplyEntries(ApprovalEntries(), false);
        return TYPE_E_CANTLOADLIBRARY;
    }
    TLIBATTR *attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (SUCCEEDED(result)) {
        const long status = ApplyEntries(ClassEntries(VersionText(*attributes)), true);
        library->ReleaseTLibAttr(attributes);
        if (status != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(status);
    }
    if (SUCCEEDED(result)) {
        std::wstring path = platform::win32::widen(ModulePath());
        result = RegisterTypeLib(library, path.data(), nullptr);
    }
    library->Release();
    // Never leave a half-made registration behind.
    if (FAILED(result)) UnregisterServer();
    return result;
}

HRESULT UnregisterServer() {
    ApplyEntries(ApprovalEntries(), false); // its result never stops the unregistration
    const long status = ApplyEntries(ClassEntries(std::string()), false);
    const HRESULT library = UnregisterTypeLib();
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    return library;
}
