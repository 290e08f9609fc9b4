// Registration through regsvr32 and what it leaves in the registry; the type library and the
// version record embedded in the DLL.
#include "com_test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>

#include <string>

namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;
const wchar_t kApproved[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

void ExpectRegistered() {
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey), L"MV Shell Extension");
    const auto server = ReadString(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32");
    ASSERT_TRUE(server);
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, DllPath().c_str(), -1, TRUE), CSTR_EQUAL)
        << ToUtf8(*server);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32", L"ThreadingModel"),
              L"Apartment");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey + L"\\ProgID"), L"Project4.MVShellExt");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey + L"\\Version"), L"1.0");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey + L"\\Typelib"), kLibidText);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, L"Project4.MVShellExt"), L"MV Shell Extension");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, L"Project4.MVShellExt\\CLSID"), kClsidText);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kApproved, kClsidText), L"QXVShell");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibidText + L"\\1.0"));
}

void ExpectUnregistered() {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Project4.MVShellExt"));
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kApproved, kClsidText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibidText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + kIidText));
}

TEST(Registration, Regsvr32RegistersAndUnregistersTwiceEach) {
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    ASSERT_EQ(Regsvr32(L"/s"), 0u); // rewrites the same values
    ExpectRegistered();

    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    ExpectUnregistered();
    EXPECT_EQ(Regsvr32(L"/u /s"), 0u); // nothing left to remove is no failure
    ExpectUnregistered();
}

TEST(Registration, UnregisteringKeepsOtherApprovedEntries) {
    HKEY approved = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &approved, nullptr),
              ERROR_SUCCESS);
    const wchar_t other[] = L"{00000000-1111-2222-3333-444444444444}";
    RegSetValueExW(approved, other, 0, REG_SZ, reinterpret_cast<const BYTE *>(L"Other"),
                   6 * sizeof(wchar_t));
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kApproved, other), L"Other");
    RegDeleteValueW(approved, other);
    RegCloseKey(approved);
}

TEST(EmbeddedResources, TypeLibraryNamesLibraryClassAndInterface) {
    ITypeLib *library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR *attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, GuidFromText(kLibidText)));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x0409u);
    library->ReleaseTLibAttr(attributes);

    auto documentation = [&](ITypeInfo *info, const wchar_t *name, const wchar_t *help) {
        BSTR got_name = nullptr, got_help = nullptr;
        HRESULT result =
            info ? info->GetDocumentation(MEMBERID_NIL, &got_name, &got_help, nullptr, nullptr)
                 : library->GetDocumentation(-1, &got_name, &got_help, nullptr, nullptr);
        ASSERT_EQ(result, S_OK);
        EXPECT_STREQ(got_name, name);
        EXPECT_STREQ(got_help, help);
        SysFreeString(got_name);
        SysFreeString(got_help);
    };
    documentation(nullptr, L"QXVShell", L"Project1 Library");

    ITypeInfo *coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(GuidFromText(kClsidText), &coclass), S_OK);
    documentation(coclass, L"MVShellExt", L"MVShellExt Object");
    coclass->Release();

    ITypeInfo *interface_info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(GuidFromText(kIidText), &interface_info), S_OK);
    documentation(interface_info, L"IMVShellExt", L"Interface for MVShellExt Object");
    interface_info->Release();
    library->Release();
}

TEST(EmbeddedResources, VersionRecord) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(DllPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(DllPath().c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0001003Bu); // 1.59
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    auto text = [&](const wchar_t *name) {
        wchar_t *value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void **>(&value), &chars))
            return std::wstring();
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"FileDescription"), L"QXV Shell Extension");
    EXPECT_EQ(text(L"InternalName"), L"QXVShell");
    EXPECT_EQ(text(L"OriginalFilename"), L"QXVShell.dll");
    EXPECT_EQ(text(L"ProductName"), L"QXV");
}

TEST(Exports, ClassObjectOnlyForTheHandlerAndUnloadFollowsObjectsAndLocks) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(dll, nullptr);
    for (const char *name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;

    using GetClassObject = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
    using CanUnload = HRESULT(WINAPI *)();
    auto get = Export<GetClassObject>(dll, "DllGetClassObject");
    auto can_unload = Export<CanUnload>(dll, "DllCanUnloadNow");
    ASSERT_TRUE(get && can_unload);
    EXPECT_EQ(can_unload(), S_OK);

    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(get(GuidFromText(kLibidText), IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);

    IClassFactory *factory = nullptr;
    ASSERT_EQ(get(GuidFromText(kClsidText), IID_IClassFactory, reinterpret_cast<void **>(&factory)),
              S_OK);
    EXPECT_EQ(can_unload(), S_FALSE);

    IUnknown *object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void **>(&object)),
              E_NOINTERFACE);
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void **>(&object)),
        S_OK);
    IUnknown *other_view = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IShellExtInit, reinterpret_cast<void **>(&other_view)),
              S_OK);
    other_view->Release();

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    object->Release();
    EXPECT_EQ(can_unload(), S_FALSE); // the lock still holds it
    ASSERT_EQ(get(GuidFromText(kClsidText), IID_IClassFactory, reinterpret_cast<void **>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(can_unload(), S_FALSE); // the factory itself is alive
    factory->Release();
    EXPECT_EQ(can_unload(), S_OK);
    FreeLibrary(dll);
}

} // namespace
