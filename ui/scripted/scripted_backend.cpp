#include "ui/scripted/scripted_backend.h"

#include <algorithm>

namespace ui {

ScriptedBackend &ScriptedBackend::Answer(int button) {
    Step step;
    step.kind = Step::Kind::Answer;
    step.answer = button;
    script_.push_back(std::move(step));
    return *this;
}

ScriptedBackend &ScriptedBackend::AtProcessMessages(std::function<void()> action) {
    pumps_.push_back(std::move(action));
    return *this;
}

int ScriptedBackend::RunModal(TForm &form) {
    Log.push_back("modal " + form.Name);
    while (form.ModalResult == mrNone) {
        if (script_.empty() || script_.front().kind != Step::Kind::Modal) {
            Errors.push_back("unscripted modal form " + form.Name);
            form.UserCloseBox();
            break;
        }
        Step step = std::move(script_.front());
        script_.pop_front();
        if (!step.action(form)) {
            Errors.push_back("expected modal " + step.expected + ", shown " + form.Name);
            form.UserCloseBox();
            break;
        }
    }
    if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
    return form.ModalResult;
}

void ScriptedBackend::ShowModeless(TForm &form) {
    Log.push_back("show " + form.Name);
    if (std::find(modeless_.begin(), modeless_.end(), &form) == modeless_.end())
        modeless_.push_back(&form);
}

void ScriptedBackend::Repaint(TForm &form) {
    Log.push_back("repaint " + form.Name);
}

void ScriptedBackend::HideModeless(TForm &form) {
    Log.push_back("hide " + form.Name);
    modeless_.erase(std::remove(modeless_.begin(), modeless_.end(), &form), modeless_.end());
}

void ScriptedBackend::ProcessMessages() {
    ++ProcessMessagesCalls;
    if (pumps_.empty()) return;
    auto action = std::move(pumps_.front());
    pumps_.pop_front();
    if (action) action();
}

int ScriptedBackend::RunMessageBox(WindowHandle, const std::string &text,
                                   const std::string &caption, unsigned style) {
    Log.push_back("messagebox " + caption + ": " + text);
    int answer;
    if (!script_.empty() && script_.front().kind == Step::Kind::Answer) {
        answer = script_.front().answer;
        script_.pop_front();
    } else {
        Errors.push_back("unscripted message box " + caption + ": " + text);
        answer = DismissAnswer(style);
    }
    MessageBoxes.push_back({text, caption, style, answer});
    return answer;
}

void ScriptedBackend::OpenUrl(const std::string &url) {
    Log.push_back("url " + url);
    Urls.push_back(url);
}

} // namespace ui
