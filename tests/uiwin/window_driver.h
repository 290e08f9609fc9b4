// Drives real dialogs from inside a test. Modal dialogs and message boxes run message loops
// of their own, so the test cannot act after ShowModal; instead it queues steps first. A
// CBT hook notes every top-level window the thread creates, and a thread timer, which runs
// inside whatever message loop is current, hands the newest visible one to the next step.
// A watchdog ends the program if a dialog never closes.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qxv_test {

class WindowDriver {
public:
    using Step = std::function<void(HWND window)>;

    explicit WindowDriver(int watchdogSeconds = 30);
    ~WindowDriver();
    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    // Runs `step` on the next top-level window that opens (or the newest one still shown,
    // when that is the one the step is for). Steps run in order, one per new window unless
    // `sameWindow`.
    WindowDriver &Then(Step step, bool sameWindow = false);
    bool Done() const { return steps_.empty(); }

private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp);
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    HWND Newest() const;

    struct Pending {
        Step step;
        bool sameWindow;
    };
    std::deque<Pending> steps_;
    std::vector<HWND> created_;
    HWND lastServed_ = nullptr;
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    HANDLE watchdogStop_ = nullptr;
    HANDLE watchdog_ = nullptr;
    int watchdogSeconds_;
};

// Keyboard input as the window would receive it, posted so that it runs through the
// current message loop and its dialog manager.
void PressKey(HWND target, WPARAM key);
void PressAlt(HWND target, wchar_t letter);
// The position and size of a child window in its parent's client coordinates.
RECT ChildRect(HWND child);
std::wstring TextOf(HWND hwnd);
// The text and background colours the window's parent gives `child` when it paints.
struct Colours {
    COLORREF text, background;
};
Colours ColoursOf(HWND child, UINT message = WM_CTLCOLORSTATIC);

} // namespace qxv_test
