#include "tests/uiwin/window_driver.h"

#include <algorithm>
#include <cstdio>

namespace qxv_test {
namespace {

WindowDriver *active = nullptr;

DWORD WINAPI Watchdog(void *param) {
    auto *args = static_cast<std::pair<HANDLE, int> *>(param);
    if (WaitForSingleObject(args->first, DWORD(args->second) * 1000) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "watchdog: a dialog did not close; ending the test program\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    delete args;
    return 0;
}

} // namespace

WindowDriver::WindowDriver(int watchdogSeconds) : watchdogSeconds_(watchdogSeconds) {
    active = this;
    hook_ = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 40, Tick);
    watchdogStop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watchdog_ =
        CreateThread(nullptr, 0, Watchdog,
                     new std::pair<HANDLE, int>(watchdogStop_, watchdogSeconds_), 0, nullptr);
}

WindowDriver::~WindowDriver() {
    SetEvent(watchdogStop_);
    WaitForSingleObject(watchdog_, INFINITE);
    CloseHandle(watchdog_);
    CloseHandle(watchdogStop_);
    KillTimer(nullptr, timer_);
    UnhookWindowsHookEx(hook_);
    active = nullptr;
}

WindowDriver &WindowDriver::Then(Step step, bool sameWindow) {
    steps_.push_back({std::move(step), sameWindow});
    return *this;
}

LRESULT CALLBACK WindowDriver::CbtHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && active) {
        auto *create = reinterpret_cast<CBT_CREATEWNDW *>(lp);
        if (!(create->lpcs->style & WS_CHILD)) active->created_.push_back(HWND(wp));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

HWND WindowDriver::Newest() const {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it)
        if (IsWindow(*it) && IsWindowVisible(*it)) return *it;
    return nullptr;
}

void CALLBACK WindowDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    WindowDriver *self = active;
    if (!self || self->steps_.empty()) return;
    HWND window = self->Newest();
    if (!window) return;
    if (window == self->lastServed_ && !self->steps_.front().sameWindow) return;
    Pending next = std::move(self->steps_.front());
    self->steps_.pop_front();
    self->lastServed_ = window;
    next.step(window);
}

void PressKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, LPARAM(0xC0000001));
}

void PressAlt(HWND target, wchar_t letter) {
    PostMessageW(target, WM_SYSCHAR, WPARAM(letter), LPARAM(0x20000001));
}

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

std::wstring TextOf(HWND hwnd) {
    std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return text;
}

Colours ColoursOf(HWND child, UINT message) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(GetParent(child), message, WPARAM(dc), LPARAM(child));
    Colours colours{GetTextColor(dc), GetBkColor(dc)};
    DeleteDC(dc);
    return colours;
}

} // namespace qxv_test
