// Shows the handler's context menu in a window, opened on the "Quillomar" submenu, for a
// screenshot (tools/screenshot-context-menu). The DLL must be registered. Argument: the file
// whose menu to show. With QXV_DEMO_INFO set, it picks "&Info" and runs it.
#include "../fake_data_object.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

const CLSID kClsid = {0x2ff392df, 0x967f, 0x4a20, {0x93, 0xd3, 0x16, 0x14, 0x01, 0x52, 0x99, 0x57}};

void Key(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// Walks the open menu to the submenu, then closes everything after the screenshot's time.
void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    static int step = 0;
    switch (step++) {
    case 0:
        Key(VK_DOWN); // Open
        Key(VK_DOWN); // Quillomar
        Key(VK_RIGHT);
        break;
    case 6:
        if (GetEnvironmentVariableW(L"QXV_DEMO_INFO", nullptr, 0) > 0) {
            Key(VK_DOWN); // Decrypt
            Key(VK_DOWN); // Info
            Key(VK_RETURN);
        }
        break;
    case 12:
        Key(VK_ESCAPE);
        Key(VK_ESCAPE);
        Key(VK_ESCAPE);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, w, l);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = L"QxvMenuDemo";
    RegisterClassW(&window_class);
    HWND window = CreateWindowW(L"QxvMenuDemo", L"Quillomar context menu", WS_OVERLAPPEDWINDOW, 40,
                                40, 640, 400, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);

    IShellExtInit *init = nullptr;
    IContextMenu *menu = nullptr;
    if (FAILED(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                reinterpret_cast<void **>(&init))) ||
        FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void **>(&menu))))
        return 2;
    FakeDataObject data({std::wstring(command_line)});
    init->Initialize(nullptr, &data, nullptr);

    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 1, L"&Open");
    AppendMenuW(popup, MF_STRING, 2, L"P&roperties");
    menu->QueryContextMenu(popup, 1, 100, 0x7FFF, CMF_NORMAL);

    SetTimer(nullptr, 0, 500, Step);
    const UINT chosen =
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RETURNCMD, 120, 120, 0, window, nullptr);
    if (chosen >= 100) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.hwnd = window;
        info.lpVerb = MAKEINTRESOURCEA(chosen - 100);
        info.nShow = SW_SHOWNORMAL;
        menu->InvokeCommand(&info);
    }
    DestroyMenu(popup);
    init->Initialize(nullptr, nullptr, nullptr);
    menu->Release();
    init->Release();
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}
