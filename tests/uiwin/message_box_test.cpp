// Message boxes: the style words reach the real box, and the button pressed comes back.
#include "tests/uiwin/uiwin_fixture.h"
#include "ui/Msgbox.h"

namespace qxv_test {
namespace {

using MessageBoxWindow = WindowTest;

TEST_F(MessageBoxWindow, ReturnsTheButtonPressed) {
    struct Case {
        unsigned style;
        int press, expected;
    } cases[] = {
        {ui::mbOK | ui::mbIconExclamation, IDOK, ui::idOK},
        {ui::mbOKCancel, IDCANCEL, ui::idCancel},
        {ui::mbOKCancel, IDOK, ui::idOK},
        {ui::mbYesNo | ui::mbIconHand, IDYES, ui::idYes},
        {ui::mbYesNo, IDNO, ui::idNo},
    };
    for (const Case &c : cases) {
        std::wstring caption, text;
        bool hasNo = false;
        driver.Then([&](HWND box) {
            caption = TextOf(box);
            hasNo = GetDlgItem(box, IDNO) != nullptr;
            SendMessageW(box, WM_COMMAND, WPARAM(c.press), 0);
        });
        EXPECT_EQ(backend.RunMessageBox(nullptr, "Action cancelled", "Advisory", c.style),
                  c.expected)
            << c.style;
        EXPECT_EQ(caption, L"Advisory");
        EXPECT_EQ(hasNo, (c.style & ui::mbButtonsMask) == ui::mbYesNo) << c.style;
    }
}

TEST_F(MessageBoxWindow, EscapeGivesTheCancelAnswer) {
    driver.Then([](HWND box) { PressKey(GetFocus() ? GetFocus() : box, VK_ESCAPE); });
    EXPECT_EQ(backend.RunMessageBox(nullptr, "Go on?", "Question", ui::mbOKCancel), ui::idCancel);
}

TEST_F(MessageBoxWindow, TextsAreUtf8AndTheGivenOwnerOwnsTheBox) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND seenOwner = nullptr;
    std::wstring caption;
    driver.Then([&](HWND box) {
        seenOwner = GetWindow(box, GW_OWNER);
        caption = TextOf(box);
        SendMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(backend.RunMessageBox(owner, "x", "Caf\xC3\xA9 \xE2\x82\xAC", ui::mbOK), ui::idOK);
    EXPECT_EQ(seenOwner, owner);
    EXPECT_EQ(caption, L"Caf\u00e9 \u20ac");
    DestroyWindow(owner);
}

} // namespace
} // namespace qxv_test
