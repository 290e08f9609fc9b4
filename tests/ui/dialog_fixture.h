// Common ground of the dialog tests: a scripted backend made current, a settings store of
// the test's own, the batch-wide state reset, and the executable option decided by the test.
#pragma once

#include "platform/settings.h"
#include "tests/support/settings_sandbox.h"
#include "ui/Qxvpop1.h"
#include "ui/batch_state.h"
#include "ui/scripted/scripted_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace qxv_test {

class DialogTest : public ::testing::Test {
protected:
    DialogTest() : scope_(ui) {
        ui::Batch = ui::BatchState{};
        saved_available_ = ui::ExeOptionAvailable;
        ui::ExeOptionAvailable = [this] { return stub_present; };
    }
    ~DialogTest() override { ui::ExeOptionAvailable = saved_available_; }

    void TearDown() override {
        EXPECT_TRUE(ui.Errors.empty()) << ui.Errors.front();
        EXPECT_TRUE(ui.ScriptDone()) << "script steps left over";
    }

    static std::optional<bool> stored_bool(const char *name) {
        auto key = platform::SettingsKey::Open();
        bool value = false;
        if (!key->ValueExists(name) || !key->ReadBool(name, value).ok()) return std::nullopt;
        return value;
    }
    static std::vector<uint8_t> stored_hash_key() {
        auto key = platform::SettingsKey::Open();
        uint8_t buffer[20];
        size_t read = 0;
        if (!key->ReadBinary("HashKey", buffer, sizeof buffer, read).ok()) return {};
        return {buffer, buffer + read};
    }

    SettingsSandbox settings;
    ui::ScriptedBackend ui;
    bool stub_present = true;

private:
    ui::BackendScope scope_;
    std::function<bool()> saved_available_;
};

inline std::vector<uint8_t> from_hex(const char *hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(uint8_t(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

} // namespace qxv_test
