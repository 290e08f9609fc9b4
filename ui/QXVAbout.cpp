#include "ui/QXVAbout.h"

namespace ui {

TAboutBox *AboutBox = nullptr;

TAboutBox::TAboutBox(TForm * /*owner*/) : TForm("AboutBox") {
    Caption = "About Quillomar";
    Width = 290;
    Height = 183;
    Position = TPosition::ScreenCenter;

    Panel1 = Add<TPanel>("Panel1");
    Panel1->SetBounds(8, 8, 273, 137);
    Panel1->BevelInner = TBevel::Raised;
    Panel1->BevelOuter = TBevel::Lowered;
    Panel1->Color = clHighlightText;

    Label2 = Add<TLabel>("Label2", Panel1);
    Label2->SetBounds(16, 8, 249, 24);
    Label2->AutoSize = false;
    Label2->WordWrap = true;
    Label2->Font.Height = -19;
    Label2->Caption = "Orvanel Quillomar";

    Version = Add<TLabel>("Version", Panel1);
    Version->SetBounds(16, 32, 0, 0);
    Version->Caption = "Version 2.1";

    Label1 = Add<TLabel>("Label1", Panel1);
    Label1->SetBounds(16, 48, 0, 0);
    Label1->Caption = "Using strong AES encryption";

    Label4 = Add<TLabel>("Label4", Panel1);
    Label4->SetBounds(16, 64, 233, 13);
    Label4->AutoSize = false;
    Label4->WordWrap = true;
    Label4->Caption = "Copyright 2026 Orvanel. All rights reserved.";

    ProgramIcon = Add<TImage>("ProgramIcon", Panel1);
    ProgramIcon->SetBounds(8, 88, 200, 35);
    ProgramIcon->Stretch = true;
    ProgramIcon->Picture = "LOGO";

    HyperLink1 = Add<THyperLink>("HyperLink1");
    HyperLink1->SetBounds(40, 155, 135, 16);
    HyperLink1->AutoSize = false;
    HyperLink1->Font.Height = -13;
    HyperLink1->Caption = "www.orvanel.example";
    HyperLink1->SetURL("https://www.orvanel.example");

    OKButton = Add<TButton>("OKButton");
    OKButton->SetBounds(202, 152, 80, 24);
    OKButton->Caption = "&OK";
    OKButton->Default = true;
    OKButton->Cancel = true;
    OKButton->ModalResult = mrOk;
    OKButton->TabOrder = 0;
    ActiveControl = OKButton;
}

} // namespace ui
