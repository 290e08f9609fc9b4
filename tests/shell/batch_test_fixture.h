// Common ground of the batch processor tests: a scripted backend, a settings store whose
// default password is the test's, a scratch folder, and a file system whose module path (where
// the stub is looked for), renames and listings a test can change.
#pragma once

#include "container/container.h"
#include "platform/file_system.h"
#include "platform/settings.h"
#include "shell/batch_processor.h"
#include "shell/commands.h"
#include "shell/selection.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/temp_folder.h"
#include "ui/Qxvpop1.h"
#include "ui/batch_state.h"
#include "ui/default_password.h"
#include "ui/scripted/scripted_backend.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qxv_test {

class WorldFileSystem final : public platform::FileSystem {
public:
    platform::FileSystem &inner = platform::native_file_system();
    std::string modulePath; // empty: the real one
    bool failRenames = false;
    std::string unopenable; // held by another program, as it were
    std::string unlistable; // a folder that cannot be listed (permissions, a long path)
    std::function<void(std::vector<platform::FolderEntry> &)> alterListing;

    std::unique_ptr<platform::File> open(const std::string &path, platform::Access access,
                                         platform::Share share,
                                         platform::Disposition disposition) override {
        if (path == unopenable) return nullptr;
        return inner.open(path, access, share, disposition);
    }
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        return inner.copy_file_no_replace(from, to);
    }
    bool remove_file(const std::string &path) override { return inner.remove_file(path); }
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        return !failRenames && inner.rename_no_replace(from, to);
    }
    bool remove_file_if_same(const std::string &path,
                             const platform::FileIdentity &expected) override {
        return inner.remove_file_if_same(path, expected);
    }
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const platform::FileIdentity &expected) override {
        return !failRenames && inner.rename_no_replace_if_same(from, to, expected);
    }
    std::optional<platform::FileAttributes> attributes(const std::string &path) override {
        return inner.attributes(path);
    }
    bool list_folder(const std::string &path,
                     std::vector<platform::FolderEntry> *entries) override {
        if (path == unlistable || !inner.list_folder(path, entries)) return false;
        if (alterListing) alterListing(*entries);
        return true;
    }
    platform::LocalTime local_time() override { return inner.local_time(); }
    std::string module_path() override {
        return modulePath.empty() ? inner.module_path() : modulePath;
    }
};

inline const char *const kPassword = "password123";

class BatchTest : public ::testing::Test {
protected:
    BatchTest() : scope_(ui) {
        ui::Batch = ui::BatchState{};
        saved_available_ = ui::ExeOptionAvailable;
        ui::ExeOptionAvailable = [] { return true; };
        platform::set_file_system(&world);
        uint8_t verifier[ui::VerifierSize];
        ui::HashPassword(kPassword, verifier);
        platform::SettingsKey::Open()->WriteBinary("HashKey", verifier, sizeof verifier);
    }
    ~BatchTest() override {
        platform::set_file_system(nullptr);
        ui::ExeOptionAvailable = saved_available_;
        SetSelection(nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(ui.Errors.empty()) << ui.Errors.front();
        EXPECT_TRUE(ui.ScriptDone()) << "script steps left over";
    }

    // The password dialog accepted with the test's password (and the box ticked if asked).
    ui::ScriptedBackend &Accept(bool tick = false) {
        return ui.Modal<ui::TForm1>([tick](ui::TForm1 &f) {
            f.UserType("ebPassword", kPassword);
            if (tick) f.UserClick("cbxCreate");
            f.UserEnter();
        });
    }
    void Select(std::vector<std::string> paths) {
        SetSelection(std::make_unique<ListSelection>(std::move(paths)));
    }
    std::string Write(const std::string &name, const std::string &text) {
        const std::string path = folder.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        write_all(path, std::vector<uint8_t>(text.begin(), text.end()));
        return path;
    }
    std::string Read(const std::string &path) {
        const auto bytes = read_all(path);
        return std::string(bytes.begin(), bytes.end());
    }
    // A container of `text` made by the engine under `password`, named `name`.
    std::string Container(const std::string &name, const std::string &text,
                          const char *password = kPassword) {
        const std::string plain = Write(name + ".plain", text);
        EXPECT_EQ(container_crypt_file(plain.c_str(), plain.c_str(), password, 'A'), CRYPT_OK);
        std::filesystem::rename(plain, folder.file(name));
        return folder.file(name);
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto &box : ui.MessageBoxes)
            out.push_back(box.caption + ": " + box.text);
        return out;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> out;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder.path()))
            if (entry.is_regular_file())
                out.push_back(
                    std::filesystem::relative(entry.path(), folder.path()).generic_string());
        std::sort(out.begin(), out.end());
        return out;
    }

    SettingsSandbox settings;
    TempFolder folder;
    WorldFileSystem world;
    ui::ScriptedBackend ui;

private:
    ui::BackendScope scope_;
    std::function<bool()> saved_available_;
};

} // namespace qxv_test
