// The about box: panel, logo, the link (hand cursor, blue then purple, opens its URL every
// click), Enter and Esc; and the edit box colours that follow the read-only state.
#include "tests/uiwin/uiwin_fixture.h"
#include "ui/QXVAbout.h"

namespace qxv_test {
namespace {

using AboutBoxWindow = WindowTest;

TEST_F(AboutBoxWindow, OpensInPlaceWithLogoAndIcon) {
    ui::TAboutBox box(nullptr);
    driver.Then([&](HWND window) {
        ExpectLayout(box);
        HWND logo = Control(box.ProgramIcon);
        EXPECT_NE(SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "LOGO resource";
        EXPECT_EQ(ColoursOf(Control(box.Version)).background, GetSysColor(COLOR_HIGHLIGHTTEXT))
            << "labels take the panel's colour";
        EXPECT_EQ(GetFocus(), Control(box.OKButton))
            << GetFocus() << " active " << GetActiveWindow() << " fg " << GetForegroundWindow()
            << " win " << window;
        (void)window;
        PressKey(GetFocus(), VK_RETURN);
    });
    EXPECT_EQ(box.ShowModal(), ui::mrOk);

    ui::TForm1 form(nullptr, nullptr, "x"); // the one form with an icon
    driver.Then([&](HWND window) {
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0) << "MAINICON resource";
        PressKey(GetFocus(), VK_ESCAPE);
    });
    form.ShowModal();
}

TEST_F(AboutBoxWindow, LinkOpensItsUrlOnEveryClickAndTurnsPurple) {
    ui::TAboutBox box(nullptr);
    driver
        .Then([&](HWND window) {
            HWND link = Control(box.HyperLink1);
            EXPECT_EQ(ColoursOf(link).text, RGB(0, 0, 255));
            EXPECT_TRUE(SendMessageW(window, WM_SETCURSOR, WPARAM(link),
                                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
            EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
            LOGFONTW font{};
            GetObjectW(HFONT(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font, &font);
            EXPECT_TRUE(font.lfUnderline);
            PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
            PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        })
        .Then(
            [&](HWND) {
                EXPECT_EQ(ColoursOf(Control(box.HyperLink1)).text, RGB(0x80, 0, 0x80));
                EXPECT_EQ(box.ModalResult, ui::mrNone) << "the link does not close the box";
                PressKey(GetFocus(), VK_ESCAPE);
            },
            true);
    EXPECT_EQ(box.ShowModal(), ui::mrOk);
    EXPECT_EQ(backend.Urls, (std::vector<std::string>{box.HyperLink1->URL, box.HyperLink1->URL}));
}

TEST_F(AboutBoxWindow, EditBoxColourFollowsReadOnly) {
    ui::Batch.EncryptMode = 0;
    ui::TForm1 form(nullptr, nullptr, "x");
    driver.Then([&](HWND) {
        HWND edit = Control(form.ebPassword);
        EXPECT_EQ(ColoursOf(edit, WM_CTLCOLOREDIT).background, GetSysColor(COLOR_WINDOW));
        form.ebPassword->SetReadOnly(true);
        ui::ProcessMessages(); // the window follows the form
        EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(ColoursOf(edit).background, GetSysColor(COLOR_BTNFACE));
        form.ebPassword->SetReadOnly(false);
        ui::ProcessMessages();
        EXPECT_FALSE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(ColoursOf(edit, WM_CTLCOLOREDIT).background, GetSysColor(COLOR_WINDOW));
        PressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(form.ShowModal(), ui::mrCancel);
}

} // namespace
} // namespace qxv_test
