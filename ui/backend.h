// The backend shows forms and message boxes and feeds the user's actions back into them.
// One backend is current for the whole program (set once at start-up by the program or
// the shell extension, or by a test). Backends:
//   - ui/scripted: answers from a script, records what was shown (tests);
//   - ui/console: terminal prompts (the command line tool);
//   - a Win32 backend with real windows (the shell extension);
//   - anything else that implements this interface, such as a non-interactive one.
// Contract for RunModal: loop { wait for a user action; feed it through TForm::User*; after
// each action re-read the whole form, since handlers may change any control } until
// form.ModalResult is not mrNone, then return it. Handlers may open nested modal forms and
// message boxes from inside an action; the backend must allow that.
#pragma once

#include <string>

namespace ui {

class TForm;

// Message box style words and answers, as the Windows message box defines them.
constexpr unsigned mbOK = 0x0;
constexpr unsigned mbOKCancel = 0x1;
constexpr unsigned mbYesNo = 0x4;
constexpr unsigned mbIconHand = 0x10;
constexpr unsigned mbIconExclamation = 0x30;
constexpr unsigned mbButtonsMask = 0xF;
constexpr int idOK = 1;
constexpr int idCancel = 2;
constexpr int idYes = 6;
constexpr int idNo = 7;

// An owner window for message boxes (a window handle on Windows); null: the application.
using WindowHandle = void *;

class Backend {
public:
    virtual ~Backend() = default;

    virtual int RunModal(TForm &form) = 0;
    virtual void ShowModeless(TForm &form) = 0;
    virtual void Repaint(TForm &form) = 0;
    virtual void HideModeless(TForm &form) = 0;
    // Lets shown windows handle pending input (a click on a progress window's Cancel).
    virtual void ProcessMessages() = 0;
    // Shows a message box; returns idOK, idCancel, idYes or idNo.
    virtual int RunMessageBox(WindowHandle owner, const std::string &text,
                              const std::string &caption, unsigned style) = 0;
    // Opens a web address for a link; the default asks the desktop (platform::shell_open).
    virtual void OpenUrl(const std::string &url);
    // A remark about a file the command leaves alone by its kind, for a front end with a
    // console; windows show nothing (the file manager skips such files silently).
    virtual void Notice(const std::string & /*path*/, const std::string & /*remark*/) {}
};

// The current backend; until one is set, a backend that cancels every dialog and answers
// every message box with its cancel or "no" button.
Backend &CurrentBackend();
// Makes `backend` current (null restores the cancelling one); returns the previous one.
Backend *SetBackend(Backend *backend);

// The answer a message box gives when it is dismissed without a choice (Esc, end of input).
int DismissAnswer(unsigned style);

// Runs pending input of shown windows through the current backend.
void ProcessMessages();

} // namespace ui
