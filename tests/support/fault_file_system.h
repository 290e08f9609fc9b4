// A file system double for tests: forwards to a real one and makes the Nth call of one kind of
// operation fail, or move fewer bytes than asked, counting calls over every file it opened;
// either that call alone (a passing fault) or every call from the Nth on (a device that stays
// broken). A hook seen before every call lets a test change the world mid-operation.
#pragma once

#include "platform/file_system.h"

#include <array>
#include <functional>

namespace qxv_test {

enum class Op {
    Open,
    Read,
    Write,
    Seek,
    SetEnd,
    Size,
    GetTimes,
    SetTimes,
    Copy,
    Flush,
    Remove,
    Rename,
    Count_
};

enum class Fault {
    Fail,  // the call returns false and does nothing
    Short, // reads and writes move half the bytes asked and report success; others fail
};

enum class Repeat {
    Once,     // only the Nth call
    FromThen, // the Nth call and every later one
};

class FaultFileSystem final : public platform::FileSystem {
public:
    explicit FaultFileSystem(platform::FileSystem &inner = platform::native_file_system())
        : inner_(inner) {}

    // Arms the `nth` (1-based) call of `op` from now on (and, with Repeat::FromThen, every
    // later one); 0 disarms.
    void arm(Op op, int nth, Fault fault = Fault::Fail, Repeat repeat = Repeat::Once) {
        counts_.fill(0);
        armed_op_ = op;
        armed_nth_ = nth;
        fault_ = fault;
        repeat_ = repeat;
        fired_ = 0;
    }
    void disarm() { armed_nth_ = 0; }
    int count(Op op) const { return counts_[static_cast<size_t>(op)]; }
    Op armed_op() const { return armed_op_; } // the last op armed, disarmed since or not
    bool fired() const { return fired_ > 0; }
    int fired_count() const { return fired_; } // calls spoiled since arm()
    void set_hook(std::function<void(Op, int)> hook) { hook_ = std::move(hook); }

    // Counts the call and tells whether it is one to spoil.
    bool strike(Op op) {
        const int n = ++counts_[static_cast<size_t>(op)];
        if (hook_) hook_(op, n);
        if (armed_nth_ == 0 || op != armed_op_ || n < armed_nth_) return false;
        if (repeat_ == Repeat::Once && n != armed_nth_) return false;
        ++fired_;
        return true;
    }
    Fault fault() const { return fault_; }

    std::unique_ptr<platform::File> open(const std::string &path, platform::Access access,
                                         platform::Share share,
                                         platform::Disposition disposition) override;
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        return !strike(Op::Copy) && inner_.copy_file_no_replace(from, to);
    }
    bool remove_file(const std::string &path) override {
        return !strike(Op::Remove) && inner_.remove_file(path);
    }
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        return !strike(Op::Rename) && inner_.rename_no_replace(from, to);
    }
    bool remove_file_if_same(const std::string &path,
                             const platform::FileIdentity &expected) override {
        return !strike(Op::Remove) && inner_.remove_file_if_same(path, expected);
    }
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const platform::FileIdentity &expected) override {
        return !strike(Op::Rename) && inner_.rename_no_replace_if_same(from, to, expected);
    }
    bool sync_folder(const std::string &path) override {
        return !strike(Op::Flush) && inner_.sync_folder(path);
    }
    std::optional<platform::FileAttributes> attributes(const std::string &path) override {
        return inner_.attributes(path);
    }
    bool list_folder(const std::string &path,
                     std::vector<platform::FolderEntry> *entries) override {
        return inner_.list_folder(path, entries);
    }
    platform::LocalTime local_time() override {
        return fixed_time_ ? *fixed_time_ : inner_.local_time();
    }
    // Makes the clock stand still at `time` (nullopt: the real clock again).
    void set_local_time(std::optional<platform::LocalTime> time) { fixed_time_ = time; }
    std::string module_path() override { return inner_.module_path(); }

private:
    platform::FileSystem &inner_;
    std::array<int, static_cast<size_t>(Op::Count_)> counts_{};
    Op armed_op_ = Op::Read;
    int armed_nth_ = 0;
    Fault fault_ = Fault::Fail;
    Repeat repeat_ = Repeat::Once;
    int fired_ = 0;
    std::function<void(Op, int)> hook_;
    std::optional<platform::LocalTime> fixed_time_;
};

class FaultFile final : public platform::File {
public:
    FaultFile(FaultFileSystem &owner, std::unique_ptr<platform::File> inner)
        : owner_(owner), inner_(std::move(inner)) {}

    bool read(void *buffer, size_t count, size_t *done) override {
        *done = 0;
        if (!owner_.strike(Op::Read)) return inner_->read(buffer, count, done);
        return owner_.fault() == Fault::Short && inner_->read(buffer, count / 2, done);
    }
    bool write(const void *buffer, size_t count, size_t *done) override {
        *done = 0;
        if (!owner_.strike(Op::Write)) return inner_->write(buffer, count, done);
        return owner_.fault() == Fault::Short && inner_->write(buffer, count / 2, done);
    }
    bool seek(int64_t offset, platform::Origin origin, uint64_t *position) override {
        return !owner_.strike(Op::Seek) && inner_->seek(offset, origin, position);
    }
    bool set_end() override { return !owner_.strike(Op::SetEnd) && inner_->set_end(); }
    bool size(uint64_t *size) override { return !owner_.strike(Op::Size) && inner_->size(size); }
    bool get_times(platform::FileTimes *times) override {
        return !owner_.strike(Op::GetTimes) && inner_->get_times(times);
    }
    bool set_times(const platform::FileTimes &times) override {
        return !owner_.strike(Op::SetTimes) && inner_->set_times(times);
    }
    bool flush() override { return !owner_.strike(Op::Flush) && inner_->flush(); }
    bool get_permissions(uint32_t *mode) override { return inner_->get_permissions(mode); }
    bool set_permissions(uint32_t mode) override { return inner_->set_permissions(mode); }
    bool identity(platform::FileIdentity *identity) override { return inner_->identity(identity); }

private:
    FaultFileSystem &owner_;
    std::unique_ptr<platform::File> inner_;
};

inline std::unique_ptr<platform::File> FaultFileSystem::open(const std::string &path,
                                                             platform::Access access,
                                                             platform::Share share,
                                                             platform::Disposition disposition) {
    if (strike(Op::Open)) return nullptr;
    auto file = inner_.open(path, access, share, disposition);
    if (!file) return nullptr;
    return std::make_unique<FaultFile>(*this, std::move(file));
}

// Installs a file system for the scope of a test.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(platform::FileSystem &replacement) {
        platform::set_file_system(&replacement);
    }
    ~ScopedFileSystem() { platform::set_file_system(nullptr); }
    ScopedFileSystem(const ScopedFileSystem &) = delete;
    ScopedFileSystem &operator=(const ScopedFileSystem &) = delete;
};

} // namespace qxv_test
