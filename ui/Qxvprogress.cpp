#include "ui/Qxvprogress.h"

#include "ui/batch_state.h"

namespace ui {

TForm2::TForm2(TForm * /*owner*/) : TForm("Form2") {
    Caption = "Quillomar Progress";
    Width = 428;
    Height = 126;
    SizeIsOuter = true;
    BorderStyle = TBorderStyle::Sizeable;
    Position = TPosition::DesktopCenter;

    FileName = Add<TLabel>("FileName");
    FileName->SetBounds(12, 6, 403, 13);
    FileName->AutoSize = false;

    ProgressBar1 = Add<TProgressBar>("ProgressBar1");
    ProgressBar1->SetBounds(6, 40, 409, 16);

    bntCancel = Add<TButton>("bntCancel");
    bntCancel->SetBounds(338, 66, 78, 24);
    bntCancel->Caption = "Cancel";
    bntCancel->Cancel = true;
    bntCancel->TabOrder = 0;
    ActiveControl = bntCancel;
    bntCancel->OnClick = [this] { BitBtn1Click(); };
}

void TForm2::BitBtn1Click() {
    Batch.CancelRequested = 1;
}

} // namespace ui
