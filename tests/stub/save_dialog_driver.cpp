#include "tests/stub/save_dialog_driver.h"

#include <gtest/gtest.h>

namespace stub_test {

namespace {

constexpr DWORD WAIT_LIMIT_MS = 20000;
constexpr DWORD POLL_MS = 25;

struct WindowSearch {
    DWORD process_id;
    const std::wstring *title;
    HWND owner;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM data) {
    auto *search = reinterpret_cast<WindowSearch *>(data);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id != search->process_id || !IsWindowVisible(window)) return TRUE;
    if (search->owner != nullptr && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (*search->title != title) return TRUE;
    search->found = window;
    return FALSE;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK match_control(HWND window, LPARAM data) {
    auto *search = reinterpret_cast<ControlSearch *>(data);
    if (GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK collect_static_text(HWND window, LPARAM data) {
    wchar_t class_name[32] = {};
    GetClassNameW(window, class_name, 32);
    if (_wcsicmp(class_name, L"Static") == 0) {
        std::wstring text = control_text(window);
        if (!text.empty()) reinterpret_cast<std::wstring *>(data)->append(text);
    }
    return TRUE;
}

} // namespace

StubProcess::StubProcess(const std::filesystem::path &program, const std::wstring &arguments) {
    std::wstring command_line = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty()) command_line += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.wstring().c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process_))
        process_ = {};
}

StubProcess::~StubProcess() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, WAIT_LIMIT_MS);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND StubProcess::wait_for_window(const std::wstring &title, HWND owner) const {
    for (DWORD waited = 0; waited < WAIT_LIMIT_MS; waited += POLL_MS) {
        WindowSearch search{process_.dwProcessId, &title, owner, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (WaitForSingleObject(process_.hProcess, POLL_MS) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

int StubProcess::wait_for_exit() {
    if (WaitForSingleObject(process_.hProcess, WAIT_LIMIT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 99);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

HWND find_control(HWND window, int id) {
    ControlSearch search{id, nullptr};
    EnumChildWindows(window, match_control, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring control_text(HWND control) {
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void set_control_text(HWND control, const std::wstring &text) {
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring message_box_text(HWND box) {
    std::wstring text;
    EnumChildWindows(box, collect_static_text, reinterpret_cast<LPARAM>(&text));
    return text;
}

void press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

HWND file_name_box(HWND dialog) {
    // The explorer-style dialog has a combo box (cmb13) holding an edit, or a plain edit (edt1).
    if (HWND combo = find_control(dialog, 0x47c)) {
        if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        return combo;
    }
    return find_control(dialog, 0x480);
}

} // namespace stub_test
