// The progress window: shown without a modal loop, updated by the batch, its Cancel seen
// when the batch lets messages run, its close box only hiding it.
#include "tests/uiwin/uiwin_fixture.h"
#include "ui/Qxvprogress.h"

#include <commctrl.h>

namespace qxv_test {
namespace {

class ProgressWindow : public WindowTest {
protected:
    // Lets posted input arrive, as the batch does between files.
    static void Pump() {
        for (int i = 0; i < 5; ++i) {
            ui::ProcessMessages();
            Sleep(10);
        }
    }
};

TEST_F(ProgressWindow, ShowsTheFileAndTheBarAsTheBatchSetsThem) {
    ui::TForm2 form(nullptr);
    form.ProgressBar1->Max = 3;
    form.ProgressBar1->Step = 1;
    form.Show();
    HWND window = static_cast<HWND>(backend.WindowOf(form));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME) << "resizable";
    ExpectLayout(form);

    HWND bar = Control(form.ProgressBar1);
    form.FileName->Caption = "Encrypting file: C:\\a&b.txt";
    form.Update();
    EXPECT_EQ(TextOf(Control(form.FileName)), L"Encrypting file: C:\\a&b.txt");
    EXPECT_TRUE(GetWindowLongW(Control(form.FileName), GWL_STYLE) & SS_NOPREFIX)
        << "'&' in a path is shown as it is";
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 3);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    for (int i = 0; i < 4; ++i)
        form.ProgressBar1->StepIt();
    form.Update();
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 3);
    // A longer text keeps the label's fixed width.
    const RECT before = ChildRect(Control(form.FileName));
    form.FileName->Caption = "Encrypting file: " + std::string(400, 'x');
    form.Update();
    const RECT after = ChildRect(Control(form.FileName));
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    form.Hide();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgressWindow, CancelButtonAndEscRaiseTheRequestOnlyWhenMessagesRun) {
    ui::TForm2 form(nullptr);
    form.Show();
    HWND cancel = Control(form.bntCancel);
    PostMessageW(cancel, BM_CLICK, 0, 0);
    EXPECT_EQ(ui::Batch.CancelRequested, 0) << "nothing happens until the batch pumps";
    Pump();
    EXPECT_EQ(ui::Batch.CancelRequested, 1);

    ui::Batch.CancelRequested = 0;
    SetFocus(cancel);
    PressKey(cancel, VK_ESCAPE);
    Pump();
    EXPECT_EQ(ui::Batch.CancelRequested, 1);
}

TEST_F(ProgressWindow, CloseBoxOnlyHidesTheWindow) {
    ui::TForm2 form(nullptr);
    form.Show();
    HWND window = static_cast<HWND>(backend.WindowOf(form));
    PostMessageW(window, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(form.Showing());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ui::Batch.CancelRequested, 0) << "the batch goes on";
    form.Show(); // and it can come back
    EXPECT_TRUE(IsWindowVisible(static_cast<HWND>(backend.WindowOf(form))));
}

} // namespace
} // namespace qxv_test
