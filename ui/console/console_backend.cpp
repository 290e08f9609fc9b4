#include "ui/console/console_backend.h"

#include "platform/secret_line.h"
#include "ui/Hyperlink.h"
#include "ui/forms.h"

#include <algorithm>
#include <cctype>

namespace ui {
namespace term = platform::terminal;

namespace {

void say(std::string_view text) {
    term::write_error(text);
}

// Joins texts (instead of operator+ on a literal, which GCC 12 misreads under -Wrestrict).
std::string cat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

std::string lower(std::string_view s) {
    std::string out;
    for (char c : s)
        out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A caption as a prompt: accelerator marks, surrounding blanks and a final colon removed.
std::string prompt_text(std::string_view caption) {
    std::string text = PlainCaption(caption);
    while (!text.empty() && (text.back() == ' ' || text.back() == ':'))
        text.pop_back();
    size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

// The label whose accelerator focuses `control`: its caption is the control's prompt.
const TLabel *label_for(const TForm &form, const TControl *control) {
    for (const auto &c : form.Controls())
        if (auto *label = dynamic_cast<const TLabel *>(c.get());
            label && label->FocusControl == control)
            return label;
    return nullptr;
}

void print_texts(const TForm &form) {
    say(cat({"\n", PlainCaption(form.Caption), "\n"}));
    for (const auto &c : form.Controls()) {
        if (!c->Visible || (c->Parent && !c->Parent->Visible)) continue;
        auto *label = dynamic_cast<const TLabel *>(c.get());
        bool heading = c->Kind == ControlKind::GroupBox && !prompt_text(c->Caption).empty();
        if ((label && !label->FocusControl && !label->Caption.empty()) || heading)
            say(PlainCaption(heading ? prompt_text(c->Caption) : c->Caption) + "\n");
    }
}

// Reads a yes/no answer; nullopt-like -1 at end of input.
enum class YesNo { Yes, No, Default, Invalid };

YesNo parse_yes_no(std::string_view answer) {
    std::string a = lower(answer);
    if (a.empty()) return YesNo::Default;
    if (a == "y" || a == "yes") return YesNo::Yes;
    if (a == "n" || a == "no") return YesNo::No;
    return YesNo::Invalid;
}

} // namespace

bool ConsoleBackend::ReadLine(SecureString &line) {
    switch (platform::read_secret_line(line)) {
    case platform::LineRead::Line:
        return true;
    case platform::LineRead::TooLong:
        say(cat({"\nThe answer is longer than ", std::to_string(platform::SECRET_LINE_MAX),
                 " bytes.\n"}));
        return false;
    case platform::LineRead::End:
    case platform::LineRead::Interrupted:
    case platform::LineRead::Failed:
        break;
    }
    return false;
}

bool ConsoleBackend::AskEdit(TForm &form, TEdit &edit, SecureString &answer) {
    const TLabel *label = label_for(form, &edit);
    for (;;) {
        {
            // Echo goes off before the prompt shows, so nothing typed after it is echoed.
            std::unique_ptr<term::EchoOff> hidden;
            if (edit.PasswordChar) hidden = std::make_unique<term::EchoOff>();
            say((label ? prompt_text(label->Caption) : edit.Name) + ": ");
            const bool read = ReadLine(answer);
            if (edit.PasswordChar && read && !term::input_is_terminal()) say("\n");
            if (!read) return false;
        }
        form.UserType(edit.Name, View(answer));
        const TButton *button = form.DefaultButton();
        if (!edit.PasswordChar || !button || button->Usable() || button->DisabledHint.empty())
            return true;
        say(button->DisabledHint + "\n");
    }
}

bool ConsoleBackend::AskControls(TForm &form, const std::vector<const TControl *> &settled) {
    SecureString answer;
    for (TControl *control : form.TabOrderList()) {
        if (!control->Usable()) continue;
        if (std::find(settled.begin(), settled.end(), control) != settled.end()) continue;
        if (auto *edit = dynamic_cast<TEdit *>(control); edit && !edit->ReadOnly) {
            if (!AskEdit(form, *edit, answer)) return false;
        } else if (auto *box = dynamic_cast<TCheckBox *>(control)) {
            for (;;) {
                say(prompt_text(box->Caption) + (box->Checked ? "? [Y/n] " : "? [y/N] "));
                if (!ReadLine(answer)) return false;
                YesNo choice = parse_yes_no(View(answer));
                if (choice == YesNo::Invalid) {
                    say("Please answer y or n.\n");
                    continue;
                }
                if (choice != YesNo::Default && (choice == YesNo::Yes) != box->Checked)
                    form.UserClick(box->Name);
                break;
            }
        }
    }
    SecureWipe(answer);
    return true;
}

void ConsoleBackend::EndProgressLine() {
    if (term::error_is_terminal() && !lastProgressLine_.empty()) say("\n");
    lastProgressLine_.clear(); // the next repaint draws it anew
}

int ConsoleBackend::RunModal(TForm &form) {
    return RunModal(form, {});
}

int ConsoleBackend::RunModal(TForm &form, const std::vector<const TControl *> &settled) {
    EndProgressLine();
    term::InterruptCatch ctrlC; // Ctrl-C cancels the dialog instead of ending the program
    print_texts(form);
    bool hasQuestions = false;
    for (TControl *control : form.TabOrderList())
        hasQuestions |=
            control->Kind == ControlKind::Edit || control->Kind == ControlKind::CheckBox;

    while (form.ModalResult == mrNone) {
        bool goOn;
        if (hasQuestions) {
            goOn = AskControls(form, settled);
        } else {
            SecureString line;
            say("[Press Enter] ");
            goOn = ReadLine(line);
        }
        if (!goOn) {
            say("\n");
            form.UserEscape();
            break;
        }
        TButton *button = form.DefaultButton();
        if (!form.UserEnter()) {
            if (button && !button->DisabledHint.empty())
                say(button->DisabledHint + "\n");
            else if (!button)
                form.UserEscape();
        }
    }
    if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
    return form.ModalResult;
}

int ConsoleBackend::RunMessageBox(WindowHandle, const std::string &text, const std::string &caption,
                                  unsigned style) {
    say(cat({caption, ": ", text, "\n"}));
    const unsigned buttons = style & mbButtonsMask;
    if (buttons != mbOKCancel && buttons != mbYesNo)
        return idOK; // a single OK button: nothing to choose
    term::InterruptCatch ctrlC;
    SecureString line;
    for (;;) {
        say(buttons == mbYesNo ? "[y]es/[n]o? " : "[o]k/[c]ancel? ");
        if (!ReadLine(line)) {
            say("\n");
            return DismissAnswer(style);
        }
        std::string a = lower(View(line));
        if (buttons == mbYesNo && (a == "y" || a == "yes")) return idYes;
        if (buttons == mbYesNo && (a == "n" || a == "no")) return idNo;
        if (buttons == mbOKCancel && (a == "o" || a == "ok")) return idOK;
        if (buttons == mbOKCancel && (a == "c" || a == "cancel")) return idCancel;
    }
}

void ConsoleBackend::ShowModeless(TForm &form) {
    if (std::find(shown_.begin(), shown_.end(), &form) != shown_.end()) return;
    shown_.push_back(&form);
    if (!progressCatch_) progressCatch_ = std::make_unique<term::InterruptCatch>();
}

void ConsoleBackend::Repaint(TForm &form) {
    const TProgressBar *bar = nullptr;
    const TLabel *label = nullptr;
    for (const auto &c : form.Controls()) {
        if (!bar) bar = dynamic_cast<const TProgressBar *>(c.get());
        if (!label) label = dynamic_cast<const TLabel *>(c.get());
    }
    std::string line;
    if (bar) {
        const int cells = 20;
        int range = std::max(1, bar->Max - bar->Min);
        int done = std::clamp((bar->Position - bar->Min) * cells / range, 0, cells);
        line = cat({"[", std::string(size_t(done), '#'), std::string(size_t(cells - done), '-'),
                    "] ", std::to_string(bar->Position), "/", std::to_string(bar->Max)});
    }
    if (label && !label->Caption.empty()) line += cat({line.empty() ? "" : " ", label->Caption});

    if (term::error_is_terminal()) {
        // One line, redrawn in place and cut at the terminal's width like a fixed label.
        size_t width = size_t(std::max(10, term::error_width() - 1));
        if (line.size() > width) line.resize(width);
        say(cat({"\r", line, "\x1b[K"}));
        lastProgressLine_ = line;
    } else if (line != lastProgressLine_) {
        say(line + "\n");
        lastProgressLine_ = line;
    }
}

void ConsoleBackend::HideModeless(TForm &form) {
    auto it = std::find(shown_.begin(), shown_.end(), &form);
    if (it == shown_.end()) return;
    shown_.erase(it);
    EndProgressLine();
    if (shown_.empty()) progressCatch_.reset();
}

void ConsoleBackend::ProcessMessages() {
    if (!term::interrupt_take()) return;
    say("\nCancel: stopping after the current file.\n");
    for (TForm *form : std::vector<TForm *>(shown_))
        form->UserEscape();
}

void ConsoleBackend::OpenUrl(const std::string &url) {
    say(cat({"Opening ", url, "\n"}));
    Backend::OpenUrl(url);
}

} // namespace ui
