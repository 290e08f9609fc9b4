// The progress window, the about box and its link, the password edit control, the
// message-box wrapper and the form rules every backend relies on.
#include "tests/ui/dialog_fixture.h"
#include "ui/Editbox.h"
#include "ui/Hyperlink.h"
#include "ui/Msgbox.h"
#include "ui/QXVAbout.h"
#include "ui/Qxvprogress.h"
#include "ui/palette.h"

namespace {

using namespace ui;
using qxv_test::DialogTest;

class Controls : public DialogTest {};

TEST_F(Controls, ProgressCancelTakesEffectOnlyWhenMessagesAreProcessed) {
    TForm2 progress(nullptr);
    EXPECT_EQ(progress.Caption, "Quillomar Progress");
    EXPECT_EQ(progress.ProgressBar1->Max, 100);
    progress.ProgressBar1->Max = 2;
    progress.ProgressBar1->Position = 0;
    progress.ProgressBar1->Step = 1;
    progress.Show();
    ASSERT_EQ(ui.Modeless(), std::vector<TForm *>{&progress});

    // The user clicks Cancel while the first file runs; the click is seen at the next pump.
    ui.AtProcessMessages([&] { progress.UserClick("bntCancel"); });
    progress.FileName->Caption = "Encrypting file: /a";
    progress.Update();
    EXPECT_EQ(Batch.CancelRequested, 0);
    ProcessMessages();
    EXPECT_EQ(Batch.CancelRequested, 1);
    progress.ProgressBar1->StepIt();
    progress.ProgressBar1->StepIt();
    progress.ProgressBar1->StepIt();
    EXPECT_EQ(progress.ProgressBar1->Position, 2) << "never past the maximum";
    EXPECT_EQ(ui.Log, (std::vector<std::string>{"show Form2", "repaint Form2"}));
}

TEST_F(Controls, ProgressEscCancelsAndTheCloseBoxOnlyHides) {
    {
        TForm2 progress(nullptr);
        progress.Show();
        progress.UserCloseBox();
        EXPECT_FALSE(progress.Showing());
        EXPECT_EQ(Batch.CancelRequested, 0) << "closing the window does not stop the batch";
        EXPECT_TRUE(progress.UserEscape());
        EXPECT_EQ(Batch.CancelRequested, 1);
    }
    TForm2 released(nullptr);
    released.Show();
    { TForm2 other(nullptr); }
    EXPECT_EQ(ui.Modeless().size(), 1u);
}

TEST_F(Controls, ReleasingAShownWindowHidesIt) {
    {
        TForm2 progress(nullptr);
        progress.Show();
    }
    EXPECT_TRUE(ui.Modeless().empty());
    EXPECT_EQ(ui.Log.back(), "hide Form2");
}

TEST_F(Controls, TheLinkOpensOnEveryClickAndTurnsPurple) {
    TAboutBox box(nullptr);
    EXPECT_EQ(box.HyperLink1->Font.Color, clBlue);
    EXPECT_TRUE(box.HyperLink1->Font.Underline);
    EXPECT_EQ(box.HyperLink1->Cursor, TCursor::HandPoint);
    int clicks = 0;
    box.HyperLink1->OnClick = [&] { ++clicks; };
    ui.Modal<TAboutBox>([](TAboutBox &b) {
        b.UserClick("HyperLink1");
        EXPECT_EQ(b.HyperLink1->Font.Color, clPurple);
        b.UserClick("HyperLink1");
        EXPECT_EQ(b.HyperLink1->Font.Color, clPurple);
        b.UserEscape();
    });
    EXPECT_EQ(box.ShowModal(), mrOk) << "Esc closes with the OK button's result";
    EXPECT_EQ(ui.Urls, (std::vector<std::string>{"https://www.orvanel.example",
                                                 "https://www.orvanel.example"}));
    EXPECT_EQ(clicks, 2) << "the label's own click still runs";
}

TEST_F(Controls, AboutBoxTextsAndEnterCloses) {
    TAboutBox box(nullptr);
    EXPECT_EQ(box.Caption, "About Quillomar");
    EXPECT_EQ(box.Label2->Caption, "Orvanel Quillomar");
    EXPECT_EQ(box.Label2->Font.Height, -19);
    EXPECT_EQ(box.Version->Caption, "Version 2.1");
    EXPECT_EQ(box.Label1->Caption, "Using strong AES encryption");
    EXPECT_EQ(box.HyperLink1->Caption, "www.orvanel.example");
    EXPECT_EQ(box.HyperLink1->Parent, nullptr);
    EXPECT_EQ(box.Label4->Parent, box.Panel1);
    EXPECT_EQ(box.Panel1->Color, clHighlightText);
    ui.Modal<TAboutBox>([](TAboutBox &b) { b.UserEnter(); });
    EXPECT_EQ(box.ShowModal(), mrOk);
}

TEST_F(Controls, AnEmptyLinkStillTurnsPurple) {
    TAboutBox box(nullptr);
    box.HyperLink1->SetURL("");
    box.HyperLink1->Click();
    EXPECT_EQ(box.HyperLink1->Font.Color, clPurple);
}

TEST_F(Controls, EditBoxColourFollowsItsReadOnlyState) {
    TAboutBox form(nullptr); // any form will hold it
    TEditBox edit(form, "eb");
    EXPECT_FALSE(edit.ReadOnly);
    EXPECT_EQ(edit.Color, clWindow);
    EXPECT_EQ(edit.ReadOnlyColor, clBtnFace);

    edit.SetReadOnly(true);
    EXPECT_TRUE(edit.ReadOnly);
    EXPECT_EQ(edit.Color, clBtnFace);

    edit.ReadOnlyColor = 0x00FFFF;
    edit.SetReadOnly(true); // same state: nothing happens, not even a recolour
    EXPECT_EQ(edit.Color, clBtnFace);

    edit.SetReadOnly(false);
    EXPECT_EQ(edit.Color, clWindow);
    edit.SetReadOnly(true);
    EXPECT_EQ(edit.Color, 0x00FFFFu) << "the new colour shows at the next change";
}

TEST_F(Controls, ReadOnlyDisabledAndHiddenEditsRefuseTyping) {
    Batch.EncryptMode = 1;
    const unsigned char files = 0;
    TForm1 form(nullptr, &files, "");
    int changes = 0;
    form.ebPassword->OnChange = [&] { ++changes; };
    form.ebPassword->SetReadOnly(true);
    EXPECT_FALSE(form.UserType("ebPassword", "12345678"));
    form.ebPassword->SetReadOnly(false);
    form.gbCaption->Enabled = false; // a disabled container disables what it holds
    EXPECT_FALSE(form.UserType("ebPassword", "12345678"));
    form.gbCaption->Enabled = true;
    EXPECT_TRUE(form.UserType("ebPassword", "12345678"));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(form.UserType("nothing", "x"));
}

TEST_F(Controls, ShowMessageBoxCombinesTheStyleWords) {
    ui.Answer(idNo);
    EXPECT_EQ(ShowMessageBox("Text", "Caption", mbYesNo, mbIconExclamation, 0), idNo);
    ASSERT_EQ(ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].style, mbYesNo | mbIconExclamation);
    EXPECT_EQ(ui.Log.back(), "messagebox Caption: Text");
}

TEST(Backends, WithoutABackendDialogsCancelAndBoxesAreDismissed) {
    Backend *previous = SetBackend(nullptr);
    TAboutBox box(nullptr);
    EXPECT_EQ(box.ShowModal(), mrCancel);
    EXPECT_EQ(ShowMessageBox("t", "c", mbYesNo, 0, 0), idNo);
    EXPECT_EQ(ShowMessageBox("t", "c", mbOKCancel, 0, 0), idCancel);
    EXPECT_EQ(ShowMessageBox("t", "c", mbOK, 0, 0), idOK);
    SetBackend(previous);
}

TEST(Backends, ScriptMismatchesAreRecordedNotHidden) {
    ScriptedBackend ui;
    BackendScope scope(ui);
    ui.Modal<TForm2>([](TForm2 &) {});
    TAboutBox box(nullptr);
    EXPECT_EQ(box.ShowModal(), mrCancel);
    ASSERT_EQ(ui.Errors.size(), 1u);
    EXPECT_EQ(ShowMessageBox("t", "c", mbOKCancel, 0, 0), idCancel);
    EXPECT_EQ(ui.Errors.size(), 2u);
}

TEST(Palette, ControlsRegisterOnTheirPages) {
    Hyperlink::Register();
    Editbox::Register();
    Editbox::Register();
    auto &palette = ComponentPalette();
    ASSERT_EQ(palette.size(), 2u);
    EXPECT_EQ(palette[0], (std::pair<std::string, std::string>{"Internet", "THyperLink"}));
    EXPECT_EQ(palette[1], (std::pair<std::string, std::string>{"Standard", "TEditBox"}));
}

TEST(Captions, AcceleratorMarksAreStripped) {
    EXPECT_EQ(PlainCaption("&Keep encrypted file:"), "Keep encrypted file:");
    EXPECT_EQ(PlainCaption("Save && go"), "Save & go");
    EXPECT_EQ(PlainCaption("Cancel"), "Cancel");
}

TEST(SecureString, WipeEmptiesAndKeepsTheBuffer) {
    SecureString s = "a secret that is long enough for the heap";
    const char *data = s.data();
    SecureWipe(s);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.data(), data);
    EXPECT_EQ(std::string(data, 10), std::string(10, '\0'));
}

} // namespace
