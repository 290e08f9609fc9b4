#include "ui/backend.h"

#include "platform/shell_open.h"
#include "ui/forms.h"

namespace ui {
namespace {

class CancellingBackend final : public Backend {
public:
    int RunModal(TForm &form) override {
        form.UserCloseBox();
        if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
        return form.ModalResult;
    }
    void ShowModeless(TForm &) override {}
    void Repaint(TForm &) override {}
    void HideModeless(TForm &) override {}
    void ProcessMessages() override {}
    int RunMessageBox(WindowHandle, const std::string &, const std::string &,
                      unsigned style) override {
        return DismissAnswer(style);
    }
    void OpenUrl(const std::string &) override {}
};

CancellingBackend cancelling;
Backend *current = &cancelling;

} // namespace

void Backend::OpenUrl(const std::string &url) {
    if (!url.empty()) platform::shell_open(url);
}

Backend &CurrentBackend() {
    return *current;
}

Backend *SetBackend(Backend *backend) {
    Backend *previous = current == &cancelling ? nullptr : current;
    current = backend ? backend : &cancelling;
    return previous;
}

int DismissAnswer(unsigned style) {
    switch (style & mbButtonsMask) {
    case mbOKCancel:
        return idCancel;
    case mbYesNo:
        return idNo;
    default:
        return idOK;
    }
}

void ProcessMessages() {
    current->ProcessMessages();
}

} // namespace ui
