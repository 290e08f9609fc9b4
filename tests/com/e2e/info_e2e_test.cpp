// The real QXVShell.dll as the file manager drives it: a selection handed over through COM, the
// Info command chosen, and the message box it shows read and answered from inside the test.
#include "../com_test_support.h"
#include "../fake_data_object.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

// What the message box showed, filled by the timer that answers it.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    int ticks = 0;
};
SeenBox g_seen;

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    ++g_seen.ticks;
    for (const wchar_t *caption : {L"Not a Valid Quillomar File", L"Quillomar information"}) {
        HWND box = FindWindowW(L"#32770", caption);
        if (!box) continue;
        wchar_t text[1024] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 1024); // the message box's text control
        g_seen.caption = caption;
        g_seen.text = text;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
    }
    if (g_seen.ticks > 200) ExitProcess(3); // a box that never closes: end the run
}

class InfoEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(L"/s"), 0u); }
    static void TearDownTestSuite() { Regsvr32(L"/u /s"); }
};

TEST_F(InfoEndToEnd, PlainFileIsReportedAsNotAContainer) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ScratchFolder scratch;
    const std::wstring path = scratch.MakeFile(L"notes.txt");
    FakeDataObject data({path});
    IShellExtInit *init = nullptr;
    ASSERT_EQ(CoCreateInstance(GuidFromText(kClsidText), nullptr, CLSCTX_INPROC_SERVER,
                               IID_IShellExtInit, reinterpret_cast<void **>(&init)),
              S_OK);
    IContextMenu *menu = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void **>(&menu)), S_OK);
    ASSERT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);

    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    KillTimer(nullptr, timer);

    EXPECT_EQ(g_seen.caption, L"Not a Valid Quillomar File") << g_seen.ticks << " ticks";
    EXPECT_EQ(g_seen.text, L"File: " + path + L" is not an valid Quillomar file");

    init->Initialize(nullptr, nullptr, nullptr);
    menu->Release();
    init->Release();
    CoUninitialize();
}

} // namespace
