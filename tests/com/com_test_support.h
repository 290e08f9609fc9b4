// Helpers for the COM tests: the DLL under test, regsvr32, registry reads, a scratch folder.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The fixed identities, written out here independently of the library's own definitions.
inline constexpr wchar_t kClsidText[] = L"{2FF392DF-967F-4A20-93D3-161401529957}";
inline constexpr wchar_t kLibidText[] = L"{C8550B53-412C-407D-88D3-F668085CE352}";
inline constexpr wchar_t kIidText[] = L"{DE4FDB5C-9065-4305-9820-9EB02A4ED7E7}";

GUID GuidFromText(const wchar_t *text);

// The test build of QXVShell.dll as a Windows path.
std::wstring DllPath();

// Runs regsvr32 with `switches` on the DLL and returns its exit code.
DWORD Regsvr32(const std::wstring &switches);

// A text value, or nothing when the key or value is missing.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring &key,
                                       const wchar_t *name = nullptr);
bool KeyExists(HKEY root, const std::wstring &key);

std::string ToUtf8(const std::wstring &text);

// A fresh folder under the temporary folder, removed with everything in it on destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring &Path() const { return path_; }
    std::wstring MakeFile(const std::wstring &name) const;
    std::wstring MakeFolder(const std::wstring &name) const;

private:
    std::wstring path_;
};

// An exported function of `module` as type F, or nullptr.
template <typename F> F Export(HMODULE module, const char *name) {
    // Through the generic function pointer type, which converts to any other without warning.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
