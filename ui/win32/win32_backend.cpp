#include "ui/win32/win32_backend.h"

#include "platform/win32/utf16.h"
#include "ui/forms.h"
#include "ui/win32/form_window.h"

#include <windows.h>

#include <algorithm>

namespace ui {

Win32Backend::Win32Backend() = default;
Win32Backend::~Win32Backend() = default;

FormWindow *Win32Backend::Find(const TForm &form) const {
    for (const auto &w : windows_)
        if (&w->Form() == &form) return w.get();
    return nullptr;
}

void *Win32Backend::TopModal() const {
    return modalStack_.empty() ? nullptr : modalStack_.back();
}

WindowHandle Win32Backend::WindowOf(const TForm &form) const {
    FormWindow *w = Find(form);
    return w ? w->Handle() : nullptr;
}

WindowHandle Win32Backend::ControlWindowOf(const TControl &control) const {
    FormWindow *w = Find(control.Form);
    return w ? w->ControlHandle(&control) : nullptr;
}

int Win32Backend::RunModal(TForm &form) {
    HWND owner = static_cast<HWND>(TopModal());
    windows_.push_back(std::make_unique<FormWindow>(form, owner));
    FormWindow *window = windows_.back().get();
    if (!window->Handle()) {
        windows_.pop_back();
        form.UserCloseBox();
        if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
        return form.ModalResult;
    }
    HWND hwnd = window->Handle();
    if (owner) EnableWindow(owner, FALSE);
    modalStack_.push_back(hwnd);
    window->Show();

    MSG msg;
    while (form.ModalResult == mrNone) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(int(msg.wParam)); // leave the quit to the outer loop
            form.UserCloseBox();
            if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
            break;
        }
        if (!window->HandleDialogMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // The owner comes back before this window goes, so that the focus returns to it.
    modalStack_.pop_back();
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    windows_.erase(std::find_if(windows_.begin(), windows_.end(),
                                [&](const auto &w) { return w.get() == window; }));
    return form.ModalResult;
}

void Win32Backend::ShowModeless(TForm &form) {
    retired_.clear();
    FormWindow *window = Find(form);
    if (!window) {
        windows_.push_back(std::make_unique<FormWindow>(form, static_cast<HWND>(TopModal())));
        window = windows_.back().get();
    }
    window->Sync();
    window->Show();
}

void Win32Backend::Repaint(TForm &form) {
    if (FormWindow *window = Find(form)) {
        window->Sync();
        RedrawWindow(window->Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

void Win32Backend::HideModeless(TForm &form) {
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const auto &w) { return &w->Form() == &form; });
    if (it == windows_.end()) return;
    // This may run inside the window's own message handler (its close box): the window is
    // destroyed now, the object freed later.
    (*it)->Destroy();
    retired_.push_back(std::move(*it));
    windows_.erase(it);
}

void Win32Backend::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            break;
        }
        bool handled = false;
        for (auto &w : windows_) {
            HWND hwnd = w->Handle();
            if (hwnd && (msg.hwnd == hwnd || IsChild(hwnd, msg.hwnd))) {
                handled = w->HandleDialogMessage(msg);
                break;
            }
        }
        if (!handled) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    for (auto &w : windows_)
        w->Sync();
}

int Win32Backend::RunMessageBox(WindowHandle owner, const std::string &text,
                                const std::string &caption, unsigned style) {
    HWND parent = static_cast<HWND>(owner ? owner : TopModal());
    const int answer = MessageBoxW(parent, platform::win32::widen(text).c_str(),
                                   platform::win32::widen(caption).c_str(), style);
    return answer == 0 ? DismissAnswer(style) : answer;
}

} // namespace ui
