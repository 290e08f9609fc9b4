// A backend for tests: plays a script of user actions and answers, and records everything
// it was asked to show. Steps run in the order the script gives them, across nested dialogs:
//
//   ScriptedBackend ui;
//   ui.Modal<TForm1>([](TForm1 &f) { f.UserType("ebPassword", "secret12"); f.UserEnter(); })
//     .Modal<TConfirmDefault>([](TConfirmDefault &f) { ... })
//     .Answer(idOK);
//
// A modal form still open after its step takes the next step, which must be for a form of
// the same class. A form or message box that the script does not expect is recorded in
// Errors and dismissed (close box, or the box's cancel/no answer).
#pragma once

#include "ui/backend.h"
#include "ui/forms.h"

#include <deque>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

namespace ui {

class ScriptedBackend final : public Backend {
public:
    struct MessageBoxShown {
        std::string text, caption;
        unsigned style;
        int answer;
    };

    template <class T, class F> ScriptedBackend &Modal(F action) {
        Step step;
        step.kind = Step::Kind::Modal;
        step.expected = typeid(T).name();
        step.action = [action](TForm &form) {
            T *typed = dynamic_cast<T *>(&form);
            if (typed) action(*typed);
            return typed != nullptr;
        };
        script_.push_back(std::move(step));
        return *this;
    }
    // The next message box is answered with `button`.
    ScriptedBackend &Answer(int button);
    // Each call of ProcessMessages runs the next of these actions (none left: nothing).
    ScriptedBackend &AtProcessMessages(std::function<void()> action);

    bool ScriptDone() const { return script_.empty(); }
    // Forms shown without being modal and not hidden since.
    const std::vector<TForm *> &Modeless() const { return modeless_; }

    // Everything shown, in order: "modal Form1", "show Form2", "repaint Form2",
    // "hide Form2", "messagebox Caption: text", "url https://...".
    std::vector<std::string> Log;
    std::vector<MessageBoxShown> MessageBoxes;
    std::vector<std::string> Urls;
    std::vector<std::string> Errors;
    int ProcessMessagesCalls = 0;

    int RunModal(TForm &form) override;
    void ShowModeless(TForm &form) override;
    void Repaint(TForm &form) override;
    void HideModeless(TForm &form) override;
    void ProcessMessages() override;
    int RunMessageBox(WindowHandle owner, const std::string &text, const std::string &caption,
                      unsigned style) override;
    void OpenUrl(const std::string &url) override;

private:
    struct Step {
        enum class Kind { Modal, Answer } kind;
        std::string expected;
        std::function<bool(TForm &)> action;
        int answer = 0;
    };
    std::deque<Step> script_;
    std::deque<std::function<void()>> pumps_;
    std::vector<TForm *> modeless_;
};

// Installs a backend as current for one scope and restores the previous one after.
class BackendScope {
public:
    explicit BackendScope(Backend &backend) : previous_(SetBackend(&backend)) {}
    ~BackendScope() { SetBackend(previous_); }
    BackendScope(const BackendScope &) = delete;
    BackendScope &operator=(const BackendScope &) = delete;

private:
    Backend *previous_;
};

} // namespace ui
