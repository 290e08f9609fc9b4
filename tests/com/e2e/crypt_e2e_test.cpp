// The real QXVShell.dll encrypting and decrypting a file as the file manager would have it do:
// a selection handed over through COM, the Encrypt or Decrypt command chosen, and the real
// password dialogs answered from inside the test by the window driver. The settings key is
// removed before and after, so the first encryption asks for the default password's
// confirmation and leaves the verifier behind.
#include "../com_test_support.h"
#include "../fake_data_object.h"
#include "tests/uiwin/window_driver.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using qxv_test::TextOf;
using qxv_test::WindowDriver;

constexpr wchar_t kSettingsKey[] = L"Software\\QXVMenu";
constexpr char kPassword[] = "Tr0ub4dor&3 horse";

std::vector<uint8_t> ReadAll(const std::wstring &path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    uint8_t chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
}

bool WriteAll(const std::wstring &path, const std::vector<uint8_t> &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool Exists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// SHA-1 through the system's own provider, independent of the library's hash code.
std::vector<uint8_t> Sha1(const std::vector<uint8_t> &data) {
    std::vector<uint8_t> digest(20);
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    DWORD size = 20;
    if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
            CryptHashData(hash, data.data(), DWORD(data.size()), 0);
            CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }
    return digest;
}

std::vector<uint8_t> StoredHashKey() {
    std::vector<uint8_t> value(64);
    DWORD size = DWORD(value.size()), type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"HashKey", RRF_RT_ANY, &type, value.data(),
                     &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return {};
    value.resize(size);
    return value;
}

// The children of `dialog` of window class `cls` whose text or style match.
HWND FindChild(HWND dialog, const wchar_t *cls, const wchar_t *text, LONG style = 0) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (lstrcmpiW(name, cls) != 0) continue;
        if (text && TextOf(child) != text) continue;
        if (style && !(GetWindowLongW(child, GWL_STYLE) & style)) continue;
        return child;
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HWND inner = GetWindow(child, GW_CHILD) ? FindChild(child, cls, text, style) : nullptr)
            return inner;
    return nullptr;
}

// Types the password into the dialog's password edit (WM_SETTEXT, which raises EN_CHANGE
// and so enables the button) and presses the button named `button`, posted so that a nested
// dialog opened by the click runs in the message loop, not inside this step.
void TypeAndPress(HWND dialog, const wchar_t *button, std::wstring *problem) {
    HWND edit = FindChild(dialog, L"Edit", nullptr, ES_PASSWORD);
    HWND press = FindChild(dialog, L"Button", button);
    if (!edit || !press) {
        *problem = L"no password edit or button " + std::wstring(button) + L" in " + TextOf(dialog);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return;
    }
    SendMessageA(edit, WM_SETTEXT, 0, LPARAM(kPassword));
    if (!IsWindowEnabled(press)) *problem = std::wstring(button) + L" stayed disabled";
    PostMessageW(press, BM_CLICK, 0, 0);
}

class CryptEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(L"/s"), 0u); }
    static void TearDownTestSuite() { Regsvr32(L"/u /s"); }

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        IShellExtInit *init = nullptr;
        ASSERT_EQ(CoCreateInstance(GuidFromText(kClsidText), nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellExtInit, reinterpret_cast<void **>(&init)),
                  S_OK);
        init_ = init;
        ASSERT_EQ(init_->QueryInterface(IID_IContextMenu, reinterpret_cast<void **>(&menu_)), S_OK);
    }
    void TearDown() override {
        if (init_) init_->Initialize(nullptr, nullptr, nullptr); // lets go of the selection
        if (menu_) menu_->Release();
        if (init_) init_->Release();
        CoUninitialize();
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }

    // Selects `path` and chooses the command at `offset`; each dialog that opens in turn gets
    // the password typed and the button of `buttons` pressed. Gives the dialogs' captions.
    std::vector<std::wstring> RunCommand(const std::wstring &path, int offset,
                                         const std::vector<const wchar_t *> &buttons) {
        std::vector<std::wstring> captions;
        std::wstring problem;
        WindowDriver driver;
        for (const wchar_t *button : buttons)
            driver.Then([&captions, &problem, button](HWND window) {
                captions.push_back(TextOf(window));
                TypeAndPress(window, button, &problem);
            });
        FakeDataObject selection({path});
        EXPECT_EQ(init_->Initialize(nullptr, &selection, nullptr), S_OK);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.lpVerb = MAKEINTRESOURCEA(offset);
        EXPECT_EQ(menu_->InvokeCommand(&info), S_OK);
        EXPECT_TRUE(driver.Done()) << "a dialog never opened";
        EXPECT_EQ(problem, L"");
        init_->Initialize(nullptr, nullptr, nullptr); // before the selection goes out of scope
        return captions;
    }

    IShellExtInit *init_ = nullptr;
    IContextMenu *menu_ = nullptr;
};

// A first encryption: password dialog, then the first-time confirmation; the file becomes a
// container under NAME.qxv that a decryption with the same password turns back into NAME
// with the original bytes, the container removed.
TEST_F(CryptEndToEnd, EncryptThenDecryptRestoresTheOriginalBytes) {
    ScratchFolder scratch;
    const std::wstring plain = scratch.Path() + L"\\report.doc";
    const std::wstring container = plain + L".qxv";
    std::vector<uint8_t> original(1000); // not a whole number of cipher blocks
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = uint8_t(i * 7 + (i >> 8));
    ASSERT_TRUE(WriteAll(plain, original));

    EXPECT_EQ(
        RunCommand(plain, 0, {L"&Encrypt", L"&OK"}),
        (std::vector<std::wstring>{L"Orvanel Quillomar", L"Quillomar Confirm Default Password"}));

    EXPECT_FALSE(Exists(plain)) << "the plain file is renamed into the container";
    const std::vector<uint8_t> encrypted = ReadAll(container);
    ASSERT_GT(encrypted.size(), original.size());
    EXPECT_EQ(
        std::search(encrypted.begin(), encrypted.end(), original.begin(), original.begin() + 64),
        encrypted.end())
        << "plain bytes left in the container";

    // The verifier of the confirmed password: SHA-1(P followed by SHA-1(P)).
    std::vector<uint8_t> password(kPassword, kPassword + sizeof kPassword - 1);
    std::vector<uint8_t> salted = password;
    const std::vector<uint8_t> first = Sha1(password);
    salted.insert(salted.end(), first.begin(), first.end());
    EXPECT_EQ(StoredHashKey(), Sha1(salted));

    // Decryption asks for no confirmation.
    EXPECT_EQ(RunCommand(container, 1, {L"&Decrypt"}),
              std::vector<std::wstring>{L"Orvanel Quillomar"});

    EXPECT_EQ(ReadAll(plain), original);
    EXPECT_FALSE(Exists(container)) << "the container goes after a successful decryption";
}

} // namespace
