// Registration by a user who may not write under HKEY_LOCAL_MACHINE: the approval entry is
// refused, so the registration stops with E_ACCESSDENIED before any class key is written.
#include "com_test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

TEST(RegistrationWithoutRights, RefusedBeforeAnyClassKeyIsWritten) {
    // HKEY_LOCAL_MACHINE stands for a key nothing can be written under: one that has been
    // deleted while this process still holds it open.
    HKEY read_only = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QxvDeniedMachine", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &read_only, nullptr),
              ERROR_SUCCESS);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QxvDeniedMachine");
    HKEY probe = nullptr;
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, read_only), ERROR_SUCCESS);
    const bool denied = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Probe", 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &probe, nullptr) != ERROR_SUCCESS;
    if (probe) RegCloseKey(probe);

    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto register_server = Export<HRESULT(WINAPI *)()>(dll, "DllRegisterServer");
    ASSERT_NE(register_server, nullptr);
    const HRESULT result = denied ? register_server() : E_ACCESSDENIED;

    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(read_only);
    FreeLibrary(dll);

    if (!denied) GTEST_SKIP() << "this system writes under a deleted key";
    EXPECT_EQ(result, E_ACCESSDENIED);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsidText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Project4.MVShellExt"));
}

} // namespace
