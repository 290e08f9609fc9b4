#include "ui/win32/form_window.h"

#include "platform/win32/utf16.h"
#include "ui/Hyperlink.h"
#include "ui/secure_string.h"

#include <commctrl.h>

#include <algorithm>

namespace ui {
namespace {

constexpr wchar_t kWindowClass[] = L"QuillomarForm";
constexpr int kFirstChildId = 100;

// The module that holds this code, and so the artwork of dialog_art.rc.
HINSTANCE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

void RegisterFormClass(WNDPROC proc) {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX common{sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = OwnModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    // A class a DLL registered outlives the DLL: after the shell unloads and loads this
    // module again, the old class would point into freed code. Registered anew each load.
    UnregisterClassW(kWindowClass, wc.hInstance);
    registered = RegisterClassExW(&wc) != 0;
}

// Password text crosses the API as UTF-16 but lives in the form as bytes of the ANSI code
// page, the bytes stored containers are keyed with.
void ReadAnsiText(HWND hwnd, SecureString &out) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring wide(size_t(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, wide.data(), length + 1);
    SecureWipe(out);
    if (got > 0) {
        const int bytes =
            WideCharToMultiByte(CP_ACP, 0, wide.data(), got, nullptr, 0, nullptr, nullptr);
        out.resize(size_t(std::max(bytes, 0)));
        if (bytes > 0)
            WideCharToMultiByte(CP_ACP, 0, wide.data(), got, out.data(), bytes, nullptr, nullptr);
    }
    SecureZero(wide.data(), wide.size() * sizeof(wchar_t));
}

std::wstring WidenAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return text;
}

bool AllAncestors(const TControl &control, bool TControl::*flag) {
    for (const TControl *c = &control; c; c = c->Parent)
        if (!(c->*flag)) return false;
    return true;
}

// The colour behind a control: the panel that holds it, or the form's button face.
TColor BackgroundOf(const TControl &control) {
    if (control.Kind == ControlKind::Edit) return control.Color;
    for (const TControl *c = control.Parent; c; c = c->Parent)
        if (c->Kind == ControlKind::Panel) return c->Color;
    return clBtnFace;
}

// Creation order of the child windows, which is also the order of Tab and of accelerators:
// the tab stops ascending, each preceded by the label that names it, then everything else.
std::vector<TControl *> ChildOrder(const TForm &form) {
    std::vector<TControl *> order;
    auto placed = [&](TControl *c) {
        return std::find(order.begin(), order.end(), c) != order.end();
    };
    for (TControl *stop : form.TabOrderList()) {
        for (const auto &c : form.Controls())
            if (auto *label = dynamic_cast<TLabel *>(c.get()); label && label->FocusControl == stop)
                order.push_back(label);
        order.push_back(stop);
    }
    for (const auto &c : form.Controls())
        if (c->Kind != ControlKind::Panel && c->Kind != ControlKind::GroupBox && !placed(c.get()))
            order.push_back(c.get());
    // Group boxes last, at the bottom of the z-order, so that they never cover what they hold.
    for (const auto &c : form.Controls())
        if (c->Kind == ControlKind::GroupBox) order.push_back(c.get());
    return order;
}

} // namespace

COLORREF ToColorRef(TColor color) {
    if (color & 0x80000000u) return GetSysColor(int(color & 0xFF));
    return COLORREF(color & 0xFFFFFF); // both keep red in the low byte
}

FormWindow::FormWindow(TForm &form, HWND owner) : form_(form) {
    RegisterFormClass(WindowProc);
    HDC screen = GetDC(nullptr);
    dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (dpi_ <= 0) dpi_ = 96;

    const bool sizeable = form.BorderStyle == TBorderStyle::Sizeable;
    // No WS_CLIPCHILDREN: the form erases behind group boxes, which do not fill their inside.
    const DWORD style = WS_CAPTION | WS_SYSMENU | (sizeable ? WS_OVERLAPPEDWINDOW : WS_POPUP);
    const DWORD exStyle = WS_EX_CONTROLPARENT | (sizeable ? 0 : WS_EX_DLGMODALFRAME);
    RECT outer{0, 0, Scale(form.Width), Scale(form.Height)};
    if (!form.SizeIsOuter) AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    int x = Scale(form.Left), y = Scale(form.Top);
    if (form.Position != TPosition::Designed) {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + (work.right - work.left - width) / 2;
        y = work.top + (work.bottom - work.top - height) / 2;
    }
    hwnd_ = CreateWindowExW(exStyle, kWindowClass, platform::win32::widen(form.Caption).c_str(),
                            style, x, y, width, height, owner, nullptr, OwnModule(), this);
    if (!hwnd_) return;
    if (!form.Icon.empty()) {
        const std::wstring name = platform::win32::widen(form.Icon);
        for (auto [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
            const int side = GetSystemMetrics(metric);
            if (HANDLE icon =
                    LoadImageW(OwnModule(), name.c_str(), IMAGE_ICON, side, side, LR_SHARED))
                SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        }
    }
    CreateChildren();
    Sync();
}

void FormWindow::Destroy() {
    if (!hwnd_) return;
    // The edit controls' own buffers held what was typed: overwritten in place (same
    // length, so the buffer is kept) before the windows go.
    syncing_ = true;
    for (const Child &c : children_)
        if (c.control->Kind == ControlKind::Edit) {
            const int length = GetWindowTextLengthW(c.hwnd);
            if (length > 0) SetWindowTextW(c.hwnd, std::wstring(size_t(length), L' ').c_str());
            SetWindowTextW(c.hwnd, L"");
        }
    syncing_ = false;
    DestroyWindow(hwnd_);
}

FormWindow::~FormWindow() {
    Destroy();
    for (auto &[key, font] : fonts_)
        DeleteObject(font);
    for (auto &[color, brush] : brushes_)
        DeleteObject(brush);
    for (HBITMAP bitmap : bitmaps_)
        DeleteObject(bitmap);
}

int FormWindow::Scale(int value) const {
    return MulDiv(value, dpi_, 96);
}

RECT FormWindow::ClientRect(const TControl &control) const {
    int left = 0, top = 0;
    for (const TControl *c = &control; c; c = c->Parent) {
        left += c->Left;
        top += c->Top;
    }
    RECT r{Scale(left), Scale(top), 0, 0};
    r.right = r.left + Scale(control.Width);
    r.bottom = r.top + Scale(control.Height);
    return r;
}

HFONT FormWindow::FontFor(const TFont &font) {
    auto key = std::make_pair(font.Height, font.Underline);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW lf{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        lf = metrics.lfMessageFont;
    else
        wcscpy(lf.lfFaceName, L"MS Shell Dlg");
    lf.lfHeight = Scale(font.Height);
    lf.lfWidth = 0;
    lf.lfWeight = FW_NORMAL;
    lf.lfUnderline = font.Underline;
    HFONT handle = CreateFontIndirectW(&lf);
    fonts_[key] = handle;
    return handle;
}

HBRUSH FormWindow::BrushFor(TColor color) {
    if (auto it = brushes_.find(color); it != brushes_.end()) return it->second;
    return brushes_[color] = CreateSolidBrush(ToColorRef(color));
}

void FormWindow::CreateChildren() {
    for (TControl *control : ChildOrder(form_)) {
        const int id = kFirstChildId + int(children_.size());
        if (HWND child = CreateChild(*control, id))
            children_.push_back({control, child, control->Color, control->Font.Color});
    }
}

HWND FormWindow::CreateChild(TControl &control, int id) {
    const wchar_t *cls = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (control.TabOrder >= 0 ? WS_TABSTOP : 0);
    DWORD exStyle = 0;
    std::wstring text = platform::win32::widen(control.Caption);
    switch (control.Kind) {
    case ControlKind::GroupBox:
        cls = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case ControlKind::Label: {
        auto &label = static_cast<TLabel &>(control);
        style |= label.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
        // Only a label that names a control has an accelerator; the others show data such
        // as file names, whose '&' is a character like any other.
        if (!label.FocusControl) style |= SS_NOPREFIX;
        if (dynamic_cast<THyperLink *>(&label)) style |= SS_NOTIFY;
        break;
    }
    case ControlKind::Edit: {
        auto &edit = static_cast<TEdit &>(control);
        cls = L"EDIT";
        style |= ES_AUTOHSCROLL | (edit.PasswordChar ? ES_PASSWORD : 0) |
                 (edit.ReadOnly ? ES_READONLY : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        text.clear(); // the text is set by Sync, through the ANSI code page
        break;
    }
    case ControlKind::CheckBox:
        cls = L"BUTTON";
        style |=
            BS_CHECKBOX |
            (static_cast<TCheckBox &>(control).CaptionOnLeft ? BS_LEFTTEXT | BS_RIGHTBUTTON : 0);
        break;
    case ControlKind::Button:
        cls = L"BUTTON";
        style |= static_cast<TButton &>(control).Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        break;
    case ControlKind::ProgressBar:
        cls = PROGRESS_CLASSW;
        text.clear();
        break;
    case ControlKind::Image:
        style |= SS_BITMAP | SS_REALSIZECONTROL;
        text.clear();
        break;
    case ControlKind::Panel:
        return nullptr; // drawn by the form (Paint)
    }
    RECT r = ClientRect(control);
    HFONT font = FontFor(control.Font);
    if (control.Kind == ControlKind::Label && control.AutoSize && control.Width == 0) {
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, font);
        RECT measured{0, 0, 0, 0};
        DrawTextW(dc, text.c_str(), int(text.size()), &measured,
                  DT_CALCRECT | DT_SINGLELINE |
                      (static_cast<TLabel &>(control).FocusControl ? 0 : DT_NOPREFIX));
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        r.right = r.left + measured.right;
        r.bottom = r.top + measured.bottom;
    }
    HWND child = CreateWindowExW(exStyle, cls, text.c_str(), style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                 OwnModule(), nullptr);
    if (!child) return nullptr;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (auto *edit = dynamic_cast<TEdit *>(&control); edit && edit->PasswordChar)
        SendMessageW(child, EM_SETPASSWORDCHAR,
                     WPARAM(static_cast<unsigned char>(edit->PasswordChar)), 0);
    if (auto *image = dynamic_cast<TImage *>(&control); image && !image->Picture.empty()) {
        // Loaded at the box's size, which stretches the picture to it.
        HANDLE bitmap = LoadImageW(OwnModule(), platform::win32::widen(image->Picture).c_str(),
                                   IMAGE_BITMAP, r.right - r.left, r.bottom - r.top, 0);
        if (bitmap) {
            bitmaps_.push_back(static_cast<HBITMAP>(bitmap));
            SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
            SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    return child;
}

HWND FormWindow::ControlHandle(const TControl *control) const {
    for (const Child &c : children_)
        if (c.control == control) return c.hwnd;
    return nullptr;
}

const FormWindow::Child *FormWindow::ChildOf(HWND hwnd) const {
    for (const Child &c : children_)
        if (c.hwnd == hwnd) return &c;
    return nullptr;
}

void FormWindow::SyncEditText(TEdit &edit, HWND hwnd) {
    SecureString shown;
    ReadAnsiText(hwnd, shown);
    if (View(shown) != edit.Text()) {
        std::wstring wide = WidenAnsi(edit.Text());
        SetWindowTextW(hwnd, wide.c_str()); // its EN_CHANGE is ours: syncing_ is set
        SecureZero(wide.data(), wide.size() * sizeof(wchar_t));
    }
    SecureWipe(shown);
}

void FormWindow::Sync() {
    if (!hwnd_ || syncing_) return;
    syncing_ = true;
    if (GetWindowTextLengthW(hwnd_) >= 0 &&
        WindowText(hwnd_) != platform::win32::widen(form_.Caption))
        SetWindowTextW(hwnd_, platform::win32::widen(form_.Caption).c_str());
    for (Child &c : children_) {
        TControl &control = *c.control;
        const bool visible = AllAncestors(control, &TControl::Visible);
        const bool enabled = AllAncestors(control, &TControl::Enabled);
        if (bool(IsWindowEnabled(c.hwnd)) != enabled) EnableWindow(c.hwnd, enabled);
        if (bool(GetWindowLongW(c.hwnd, GWL_STYLE) & WS_VISIBLE) != visible)
            ShowWindow(c.hwnd, visible ? SW_SHOWNA : SW_HIDE);
        switch (control.Kind) {
        case ControlKind::Edit: {
            auto &edit = static_cast<TEdit &>(control);
            SyncEditText(edit, c.hwnd);
            const bool readOnly = GetWindowLongW(c.hwnd, GWL_STYLE) & ES_READONLY;
            if (readOnly != edit.ReadOnly) SendMessageW(c.hwnd, EM_SETREADONLY, edit.ReadOnly, 0);
            break;
        }
        case ControlKind::CheckBox: {
            const WPARAM state =
                static_cast<TCheckBox &>(control).Checked ? BST_CHECKED : BST_UNCHECKED;
            if (WPARAM(SendMessageW(c.hwnd, BM_GETCHECK, 0, 0)) != state)
                SendMessageW(c.hwnd, BM_SETCHECK, state, 0);
            [[fallthrough]];
        }
        case ControlKind::GroupBox:
        case ControlKind::Label:
        case ControlKind::Button: {
            const std::wstring text = platform::win32::widen(control.Caption);
            if (WindowText(c.hwnd) != text) SetWindowTextW(c.hwnd, text.c_str());
            break;
        }
        case ControlKind::ProgressBar: {
            auto &bar = static_cast<TProgressBar &>(control);
            SendMessageW(c.hwnd, PBM_SETRANGE32, WPARAM(bar.Min), LPARAM(bar.Max));
            SendMessageW(c.hwnd, PBM_SETPOS, WPARAM(bar.Position), 0);
            break;
        }
        case ControlKind::Panel:
        case ControlKind::Image:
            break;
        }
        if (c.color != control.Color || c.fontColor != control.Font.Color) {
            c.color = control.Color;
            c.fontColor = control.Font.Color;
            InvalidateRect(c.hwnd, nullptr, TRUE);
        }
    }
    // Focus on a control that was just disabled or hidden goes to the first usable tab stop.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == hwnd_ &&
        (!IsWindowEnabled(focus) || !IsWindowVisible(focus))) {
        for (TControl *stop : form_.TabOrderList())
            if (stop->Usable()) {
                SetFocus(ControlHandle(stop));
                break;
            }
    }
    syncing_ = false;
}

void FormWindow::Show() {
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOW);
    HWND focus = form_.ActiveControl ? ControlHandle(form_.ActiveControl) : nullptr;
    if (focus && IsWindowEnabled(focus) && IsWindowVisible(focus))
        SetFocus(focus);
    else if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE))
        SetFocus(first);
    UpdateWindow(hwnd_);
}

void FormWindow::NextControl(WPARAM wp, bool direct) {
    // The dialog manager moves the focus this way for an accelerator of a label: first to the
    // label (which cannot take it), then on to the next tab stop.
    HWND target = nullptr;
    if (direct) {
        nextFrom_ = reinterpret_cast<HWND>(wp);
        if (GetWindowLongW(nextFrom_, GWL_STYLE) & WS_TABSTOP) target = nextFrom_;
    } else {
        HWND from = nextFrom_ ? nextFrom_ : GetFocus();
        nextFrom_ = nullptr;
        target = GetNextDlgTabItem(hwnd_, from, wp != 0);
    }
    if (!target) return;
    nextFrom_ = target == nextFrom_ ? nullptr : nextFrom_;
    SetFocus(target);
    if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(target, EM_SETSEL, 0, -1);
}

bool FormWindow::HandleDialogMessage(MSG &msg) {
    return hwnd_ && IsDialogMessageW(hwnd_, &msg);
}

void FormWindow::OnEditChange(TEdit &edit, HWND hwnd) {
    SecureString typed;
    ReadAnsiText(hwnd, typed);
    form_.UserType(edit.Name, View(typed));
    SecureWipe(typed);
}

bool FormWindow::OnCommand(int id, int code, HWND from) {
    if (id == IDOK) {
        // Enter: a focused push button is the one pressed, otherwise the default button.
        const Child *focused = ChildOf(GetFocus());
        if (focused && focused->control->Kind == ControlKind::Button)
            form_.UserClick(focused->control->Name);
        else
            form_.UserEnter();
        return true;
    }
    if (id == IDCANCEL) {
        form_.UserEscape();
        return true;
    }
    const Child *child = ChildOf(from);
    if (!child) return false;
    TControl &control = *child->control;
    if (control.Kind == ControlKind::Edit && code == EN_CHANGE)
        OnEditChange(static_cast<TEdit &>(control), from);
    else if ((control.Kind == ControlKind::Button || control.Kind == ControlKind::CheckBox) &&
             code == BN_CLICKED)
        form_.UserClick(control.Name);
    else if (control.Kind == ControlKind::Label && code == STN_CLICKED)
        form_.UserClick(control.Name);
    else
        return false; // other notifications (EN_UPDATE, focus) change nothing in the form
    return true;
}

HBRUSH FormWindow::OnColor(HDC dc, HWND child, bool edit) {
    const Child *c = ChildOf(child);
    if (!c) return nullptr;
    const TControl &control = *c->control;
    const TColor back =
        edit || control.Kind == ControlKind::Edit ? control.Color : BackgroundOf(control);
    SetTextColor(dc, ToColorRef(control.Font.Color));
    SetBkColor(dc, ToColorRef(back));
    return BrushFor(back);
}

void FormWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    for (const auto &c : form_.Controls()) {
        auto *panel = dynamic_cast<TPanel *>(c.get());
        if (!panel || !AllAncestors(*panel, &TControl::Visible)) continue;
        RECT r = ClientRect(*panel);
        FillRect(dc, &r, BrushFor(panel->Color));
        auto edge = [](TBevel bevel, UINT raised, UINT sunken) {
            return bevel == TBevel::Raised ? raised : bevel == TBevel::Lowered ? sunken : 0u;
        };
        if (UINT outer = edge(panel->BevelOuter, BDR_RAISEDOUTER, BDR_SUNKENOUTER))
            DrawEdge(dc, &r, outer, BF_RECT | BF_ADJUST);
        if (UINT inner = edge(panel->BevelInner, BDR_RAISEDINNER, BDR_SUNKENINNER))
            DrawEdge(dc, &r, inner, BF_RECT);
    }
    EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto *self = reinterpret_cast<FormWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<FormWindow *>(reinterpret_cast<CREATESTRUCTW *>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->Handle(msg, wp, lp);
}

LRESULT FormWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_;
    switch (msg) {
    case WM_COMMAND:
        if (syncing_) return 0;
        // Sync is a no-op when the action took the window away.
        if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) Sync();
        return 0;
    case WM_CLOSE:
        form_.UserCloseBox();
        Sync();
        return 0;
    case DM_GETDEFID:
        return 0; // Enter arrives as IDOK, and the form decides what it presses
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = OnColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp),
                                   msg == WM_CTLCOLOREDIT))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_SETCURSOR:
        if (const Child *c = ChildOf(reinterpret_cast<HWND>(wp));
            c && c->control->Cursor == TCursor::HandPoint) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focused control is kept while another window is active and
        // gets the focus back afterwards (after a nested dialog or a message box).
        if (LOWORD(wp) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus && IsChild(hwnd, focus)) savedFocus_ = focus;
        } else if (savedFocus_ && IsWindow(savedFocus_) && IsWindowEnabled(savedFocus_) &&
                   IsWindowVisible(savedFocus_)) {
            SetFocus(savedFocus_);
            return 0;
        }
        break;
    case WM_NEXTDLGCTL:
        NextControl(wp, LOWORD(lp) != 0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        children_.clear();
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace ui
