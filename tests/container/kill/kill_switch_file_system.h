// A file system decorator that counts every call able to change what is on disk and, at the
// chosen one, ends the process on the spot with std::_Exit: no destructor, no flush of the
// engine's own, as if the process had been killed. The kernel keeps whatever was written
// before. Torn: when the fatal call is a write, part of its bytes go out first. Paused: the
// process does not die but waits before the call, having made "<marker>.paused", until
// "<marker>.resume" exists, so that a test can look at (or meddle with) a live encryption.
// Calls are counted across threads (a batch may run files side by side); the fatal call ends the
// whole process from whichever thread makes it.
#pragma once

#include "platform/file_system.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qxv_test {

constexpr int KILLED_EXIT_CODE = 86;

enum class Fate { Killed, Torn, Paused };

class KillSwitchFileSystem final : public platform::FileSystem {
public:
    // `fatal_call` is 1-based; 0 lets every call through.
    KillSwitchFileSystem(platform::FileSystem &inner, long fatal_call, Fate fate,
                         std::string marker = {})
        : inner_(inner), fatal_call_(fatal_call), fate_(fate), marker_(std::move(marker)) {}

    long calls() const { return calls_; }

    // Counts a modifying call: true if it is the fatal one (a paused call is not, once resumed).
    bool is_fatal() {
        if (calls_.fetch_add(1) + 1 != fatal_call_) return false;
        if (fate_ != Fate::Paused) return true;
        inner_.open(marker_ + ".paused", platform::Access::Write, platform::Share::ReadWrite,
                    platform::Disposition::CreateAlways);
        for (int i = 0; i < 12000 && !inner_.exists(marker_ + ".resume"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return false;
    }
    // Killed, from whichever thread made the call: on Windows the process is terminated at
    // once.
    [[noreturn]] static void die() {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), KILLED_EXIT_CODE);
#endif
        std::_Exit(KILLED_EXIT_CODE);
    }
    void count_or_die() {
        if (is_fatal()) die();
    }
    bool torn() const {
        return fate_ == Fate::Torn;
    }

    std::unique_ptr<platform::File> open(const std::string &path, platform::Access access,
                                         platform::Share share,
                                         platform::Disposition disposition) override;
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        count_or_die();
        return inner_.copy_file_no_replace(from, to);
    }
    bool remove_file(const std::string &path) override {
        count_or_die();
        return inner_.remove_file(path);
    }
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        count_or_die();
        return inner_.rename_no_replace(from, to);
    }
    bool remove_file_if_same(const std::string &path,
                             const platform::FileIdentity &expected) override {
        count_or_die();
        return inner_.remove_file_if_same(path, expected);
    }
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const platform::FileIdentity &expected) override {
        count_or_die();
        return inner_.rename_no_replace_if_same(from, to, expected);
    }
    bool sync_folder(const std::string &path) override {
        count_or_die();
        return inner_.sync_folder(path);
    }
    std::optional<platform::FileAttributes> attributes(const std::string &path) override {
        return inner_.attributes(path);
    }
    bool list_folder(const std::string &path,
                     std::vector<platform::FolderEntry> *entries) override {
        return inner_.list_folder(path, entries);
    }
    platform::LocalTime local_time() override {
        return inner_.local_time();
    }
    std::string module_path() override {
        return inner_.module_path();
    }
    // Under Wine a process killed from a thread other than its first never ends: there the
    // batch runs one file after another and the engine makes its flushes itself, all on the
    // first thread.
    bool concurrent() const override {
#ifdef _WIN32
        return false;
#else
        return inner_.concurrent();
#endif
    }
    platform::NameKind name_kind(const std::string &path) override {
        return inner_.name_kind(path);
    }
    std::unique_ptr<platform::File> open_stream(const std::string &path) override {
        return inner_.open_stream(path);
    }

private:
    platform::FileSystem &inner_;
    long fatal_call_;
    Fate fate_;
    std::string marker_;
    std::atomic<long> calls_ = 0;
};

class KillSwitchFile final : public platform::File {
public:
    KillSwitchFile(KillSwitchFileSystem &owner, std::unique_ptr<platform::File> inner)
        : owner_(owner), inner_(std::move(inner)) {}

    bool read(void *buffer, size_t count, size_t *done) override {
        return inner_->read(buffer, count, done);
    }
    bool write(const void *buffer, size_t count, size_t *done) override {
        if (owner_.is_fatal()) {
            // The first page of a large write, half of a small one: what a kill between two
            // pages of the kernel's copy leaves.
            const size_t part = count > 8192 ? 4096 : count / 2;
            size_t ignored = 0;
            if (owner_.torn() && part > 0) inner_->write(buffer, part, &ignored);
            KillSwitchFileSystem::die();
        }
        return inner_->write(buffer, count, done);
    }
    bool seek(int64_t offset, platform::Origin origin, uint64_t *position) override {
        return inner_->seek(offset, origin, position);
    }
    bool set_end() override {
        owner_.count_or_die();
        return inner_->set_end();
    }
    bool size(uint64_t *size) override { return inner_->size(size); }
    bool get_times(platform::FileTimes *times) override { return inner_->get_times(times); }
    bool identity(platform::FileIdentity *identity) override { return inner_->identity(identity); }
    bool set_times(const platform::FileTimes &times) override {
        owner_.count_or_die();
        return inner_->set_times(times);
    }
    bool flush() override {
        owner_.count_or_die();
        return inner_->flush();
    }
    void start_write_back(uint64_t offset, uint64_t length) override {
        inner_->start_write_back(offset, length);
    }
    bool get_permissions(uint32_t *mode) override { return inner_->get_permissions(mode); }
    bool set_permissions(uint32_t mode) override {
        owner_.count_or_die();
        return inner_->set_permissions(mode);
    }

private:
    KillSwitchFileSystem &owner_;
    std::unique_ptr<platform::File> inner_;
};

inline std::unique_ptr<platform::File>
KillSwitchFileSystem::open(const std::string &path, platform::Access access, platform::Share share,
                           platform::Disposition disposition) {
    if (access != platform::Access::Read) count_or_die();
    auto file = inner_.open(path, access, share, disposition);
    if (!file) return nullptr;
    return std::make_unique<KillSwitchFile>(*this, std::move(file));
}

} // namespace qxv_test
