// One form shown as a Win32 window: creates the child controls, routes their notifications
// into the form's User* actions and reflects the form's state back into them.
#pragma once

#include "ui/forms.h"

#include <windows.h>

#include <map>
#include <vector>

namespace ui {

class FormWindow {
public:
    // Creates the window hidden; `owner` may be null.
    FormWindow(TForm &form, HWND owner);
    ~FormWindow();
    FormWindow(const FormWindow &) = delete;
    FormWindow &operator=(const FormWindow &) = delete;

    TForm &Form() const { return form_; }
    HWND Handle() const { return hwnd_; }
    // The child window of a control; null for controls drawn by the form (panels).
    HWND ControlHandle(const TControl *control) const;
    // Brings every control in line with the form's state.
    void Sync();
    // Clears what was typed into the edits and destroys the window (the object stays).
    void Destroy();
    // Shows the window and focuses the form's active control.
    void Show();

    // Keyboard messages of the dialog manager (Tab, Enter, Esc, accelerators).
    bool HandleDialogMessage(MSG &msg);

private:
    struct Child {
        TControl *control;
        HWND hwnd;
        TColor color, fontColor; // as last drawn: a change repaints the control
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void CreateChildren();
    HWND CreateChild(TControl &control, int id);
    // Feeds a notification to the form; false when it meant nothing to it.
    bool OnCommand(int id, int code, HWND from);
    HBRUSH OnColor(HDC dc, HWND child, bool edit);
    void Paint();
    // WM_NEXTDLGCTL: `direct` focuses the window in `wp`, otherwise the next (wp 0) or
    // previous tab stop.
    void NextControl(WPARAM wp, bool direct);
    int Scale(int value) const;
    RECT ClientRect(const TControl &control) const; // in the form's client coordinates
    HFONT FontFor(const TFont &font);
    HBRUSH BrushFor(TColor color);
    const Child *ChildOf(HWND hwnd) const;
    void SyncEditText(TEdit &edit, HWND hwnd);
    void OnEditChange(TEdit &edit, HWND hwnd);

    TForm &form_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    bool syncing_ = false;
    HWND savedFocus_ = nullptr; // while another window is active
    HWND nextFrom_ = nullptr;   // a label an accelerator went to
    std::vector<Child> children_;
    std::map<std::pair<int, bool>, HFONT> fonts_; // by (height, underline)
    std::map<TColor, HBRUSH> brushes_;
    std::vector<HBITMAP> bitmaps_;
};

// A framework colour (blue-green-red or a system colour index with the top bit) as COLORREF.
COLORREF ToColorRef(TColor color);

} // namespace ui
