// Common ground of the window tests: the Win32 backend made current (links recorded instead
// of opened), a settings store of the test's own, the batch-wide state reset, a driver for
// the dialogs, and the check that a shown form's windows lie where the form puts them.
#pragma once

#include "tests/support/settings_sandbox.h"
#include "tests/uiwin/window_driver.h"
#include "ui/Qxvpop1.h"
#include "ui/batch_state.h"
#include "ui/forms.h"
#include "ui/win32/win32_backend.h"

#include <gtest/gtest.h>

namespace qxv_test {

class RecordingWin32Backend : public ui::Win32Backend {
public:
    void OpenUrl(const std::string &url) override { Urls.push_back(url); }
    std::vector<std::string> Urls;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        ui::Batch = ui::BatchState{};
        saved_available_ = ui::ExeOptionAvailable;
        ui::ExeOptionAvailable = [] { return true; };
        previous_ = ui::SetBackend(&backend);
    }
    ~WindowTest() override {
        ui::SetBackend(previous_);
        ui::ExeOptionAvailable = saved_available_;
    }
    void TearDown() override { EXPECT_TRUE(driver.Done()) << "steps left: a dialog never opened"; }

    HWND Control(const ui::TControl *control) const {
        return static_cast<HWND>(backend.ControlWindowOf(*control));
    }
    HWND Control(const ui::TForm &form, const char *name) const {
        return Control(form.FindControl(name));
    }
    static int Scaled(int value) {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return MulDiv(value, dpi, 96);
    }

    // Every control but a panel has a window at the form's position and size (labels that
    // size themselves: at the position, with some size); the window has the form's size.
    void ExpectLayout(const ui::TForm &form) const {
        HWND window = static_cast<HWND>(backend.WindowOf(form));
        ASSERT_NE(window, nullptr) << form.Name;
        RECT size;
        if (form.SizeIsOuter)
            GetWindowRect(window, &size);
        else
            GetClientRect(window, &size);
        EXPECT_EQ(size.right - size.left, Scaled(form.Width)) << form.Name;
        EXPECT_EQ(size.bottom - size.top, Scaled(form.Height)) << form.Name;
        EXPECT_EQ(TextOf(window), std::wstring(form.Caption.begin(), form.Caption.end()));
        for (const auto &c : form.Controls()) {
            if (c->Kind == ui::ControlKind::Panel) continue;
            HWND child = Control(c.get());
            ASSERT_NE(child, nullptr) << c->Name;
            int left = 0, top = 0;
            for (const ui::TControl *p = c.get(); p; p = p->Parent) {
                left += p->Left;
                top += p->Top;
            }
            const RECT r = ChildRect(child);
            EXPECT_EQ(r.left, Scaled(left)) << c->Name;
            EXPECT_EQ(r.top, Scaled(top)) << c->Name;
            if (c->Width > 0) {
                EXPECT_EQ(r.right - r.left, Scaled(c->Width)) << c->Name;
                EXPECT_EQ(r.bottom - r.top, Scaled(c->Height)) << c->Name;
            } else {
                EXPECT_GT(r.right - r.left, 0) << c->Name;
                EXPECT_GT(r.bottom - r.top, 0) << c->Name;
            }
            EXPECT_EQ(bool(IsWindowVisible(child)), c->Visible && IsWindowVisible(window))
                << c->Name;
        }
    }

    qxv_test::SettingsSandbox settings;
    RecordingWin32Backend backend;
    WindowDriver driver;

private:
    ui::Backend *previous_ = nullptr;
    std::function<bool()> saved_available_;
};

} // namespace qxv_test
