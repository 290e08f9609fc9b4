// TForm2: the progress window of a batch, shown without being modal. Its Cancel button asks
// the batch to stop after the current file (Batch.CancelRequested).
#pragma once

#include "ui/forms.h"

namespace ui {

class TForm2 : public TForm {
public:
    explicit TForm2(TForm *owner);

    TLabel *FileName;
    TProgressBar *ProgressBar1;
    TButton *bntCancel;

    void BitBtn1Click();
    // Closing the window only hides it; the batch goes on.
    void UserCloseBox() override { Hide(); }
};

} // namespace ui
