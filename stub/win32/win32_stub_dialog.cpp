#include "stub/win32/win32_stub_dialog.h"

#include "crypto/wipe.h"
#include "platform/win32/utf16.h"
#include "stub/stub_messages.h"
#include "stub/win32/stub_resource.h"

#include <windows.h>

#include <commdlg.h>

#include <vector>

namespace {

// Room for long paths; the dialog reports FNERR_BUFFERTOOSMALL rather than cutting a name.
constexpr DWORD FILE_NAME_CAPACITY = 32768;

// OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_EXPLORER |
// OFN_ENABLESIZING.
constexpr DWORD SAVE_DIALOG_FLAGS = 0x880066;
static_assert(SAVE_DIALOG_FLAGS == (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK |
                                    OFN_ENABLETEMPLATE | OFN_EXPLORER | OFN_ENABLESIZING));

// Places the dialog's frame centred horizontally and a third of the free height from the top.
void place_frame(HWND frame) {
    RECT frame_rect;
    RECT desktop_rect;
    if (!GetWindowRect(frame, &frame_rect) || !GetWindowRect(GetDesktopWindow(), &desktop_rect))
        return;
    int width = frame_rect.right - frame_rect.left;
    int height = frame_rect.bottom - frame_rect.top;
    int x = (desktop_rect.right - desktop_rect.left - width) / 2;
    int y = (desktop_rect.bottom - desktop_rect.top - height) / 3;
    SetWindowPos(frame, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The password field's text as bytes of the ANSI code page, the form stored containers need.
void read_password(HWND hook_window, platform::SecureString &password) {
    platform::SecureWipe(password);
    HWND edit = GetDlgItem(hook_window, IDC_STUB_PASSWORD);
    int length = GetWindowTextLengthW(edit);
    if (length <= 0) return;
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 1);
    length = GetWindowTextW(edit, wide.data(), length + 1);
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        std::vector<char> ansi(static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data(), bytes, nullptr, nullptr);
        password.assign(ansi.data(), ansi.size());
        wipe_memory(ansi.data(), ansi.size());
    }
    wipe_memory(wide.data(), wide.size() * sizeof(wchar_t));
}

UINT_PTR CALLBACK save_dialog_hook(HWND hook_window, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto *request = reinterpret_cast<OPENFILENAMEW *>(lparam);
        SetWindowLongPtrW(hook_window, GWLP_USERDATA, request->lCustData);
        return TRUE;
    }
    if (message != WM_NOTIFY) return 0;
    auto *notice = reinterpret_cast<OFNOTIFYW *>(lparam);
    switch (notice->hdr.code) {
    case CDN_INITDONE:
        place_frame(GetParent(hook_window));
        return 0;
    case CDN_FILEOK: {
        auto *password = reinterpret_cast<platform::SecureString *>(
            GetWindowLongPtrW(hook_window, GWLP_USERDATA));
        read_password(hook_window, *password);
        if (!password->empty()) return 0;
        stub_message_box(STUB_MSG_ENTER_PASSWORD);
        SetWindowLongPtrW(hook_window, DWLP_MSGRESULT, 1);
        return 1;
    }
    default:
        return 0;
    }
}

} // namespace

void stub_message_box(const char *text) {
    MessageBoxW(nullptr, platform::win32::widen(text).c_str(),
                platform::win32::widen(STUB_CAPTION).c_str(),
                MB_OK | MB_SETFOREGROUND | MB_TASKMODAL);
}

bool Win32StubDialog::ask_password_and_output(const std::string &proposed,
                                              platform::SecureString &password,
                                              std::string &output_path) {
    std::vector<wchar_t> file_name(FILE_NAME_CAPACITY, L'\0');
    std::wstring initial = platform::win32::widen(proposed);
    if (initial.size() >= FILE_NAME_CAPACITY) initial.resize(FILE_NAME_CAPACITY - 1);
    initial.copy(file_name.data(), initial.size());
    std::wstring title = platform::win32::widen(STUB_DIALOG_TITLE);

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = nullptr;
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpstrFilter = nullptr;
    request.nFilterIndex = 1;
    request.lpstrFile = file_name.data();
    request.nMaxFile = FILE_NAME_CAPACITY;
    request.lpstrInitialDir = nullptr;
    request.lpstrTitle = title.c_str();
    request.Flags = SAVE_DIALOG_FLAGS;
    request.lCustData = reinterpret_cast<LPARAM>(&password);
    request.lpfnHook = save_dialog_hook;
    request.lpTemplateName = MAKEINTRESOURCEW(IDD_STUB_SAVE_TEMPLATE);

    if (!GetSaveFileNameW(&request)) {
        password.clear();
        return false;
    }
    output_path = platform::win32::narrow(file_name.data());
    return true;
}

void Win32StubDialog::show_message(const char *text) {
    stub_message_box(text);
}
