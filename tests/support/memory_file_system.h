// A whole file system in memory: files are byte vectors shared by every handle opened on them,
// so that code which opens, writes, renames and deletes by path runs without touching a disk
// (fuzz targets run thousands of times a second through it).
#pragma once

#include "platform/file_system.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace qxv_test {

class MemoryFileSystem final : public platform::FileSystem {
public:
    using Bytes = std::vector<uint8_t>;

    void put(const std::string &path, Bytes bytes) {
        files_[path] = std::make_shared<Bytes>(std::move(bytes));
    }
    const Bytes *get(const std::string &path) const {
        auto it = files_.find(path);
        return it == files_.end() ? nullptr : it->second.get();
    }
    size_t file_count() const { return files_.size(); }
    void clear() { files_.clear(); }

    std::unique_ptr<platform::File> open(const std::string &path, platform::Access access,
                                         platform::Share,
                                         platform::Disposition disposition) override {
        auto it = files_.find(path);
        if (disposition == platform::Disposition::OpenExisting && it == files_.end())
            return nullptr;
        if (disposition == platform::Disposition::CreateNew && it != files_.end()) return nullptr;
        if (it == files_.end() || disposition == platform::Disposition::CreateAlways) {
            put(path, {});
            it = files_.find(path);
        }
        return std::make_unique<Handle>(it->second, access != platform::Access::Read);
    }
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        auto it = files_.find(from);
        if (it == files_.end() || files_.count(to) != 0) return false;
        put(to, *it->second);
        return true;
    }
    bool remove_file(const std::string &path) override { return files_.erase(path) == 1; }
    bool remove_file_if_same(const std::string &path,
                             const platform::FileIdentity &expected) override {
        return names(path, expected) && remove_file(path);
    }
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const platform::FileIdentity &expected) override {
        return names(from, expected) && rename_no_replace(from, to);
    }
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        auto it = files_.find(from);
        if (it == files_.end() || files_.count(to) != 0) return false;
        files_[to] = it->second;
        files_.erase(from);
        return true;
    }
    std::optional<platform::FileAttributes> attributes(const std::string &path) override {
        auto it = files_.find(path);
        if (it == files_.end()) return std::nullopt;
        platform::FileAttributes attributes;
        attributes.size = it->second->size();
        return attributes;
    }
    bool list_folder(const std::string &, std::vector<platform::FolderEntry> *) override {
        return false;
    }
    platform::LocalTime local_time() override { return {2026, 12, 8, 2, 16, 20, 0}; }
    std::string module_path() override { return "/memory/module"; }

private:
    // A file's identity here is the address of its bytes.
    static platform::FileIdentity identity_of(const Bytes *bytes) {
        return {1, reinterpret_cast<uintptr_t>(bytes)};
    }
    bool names(const std::string &path, const platform::FileIdentity &expected) const {
        auto it = files_.find(path);
        return it != files_.end() && identity_of(it->second.get()) == expected;
    }

    class Handle final : public platform::File {
    public:
        Handle(std::shared_ptr<Bytes> bytes, bool writable)
            : bytes_(std::move(bytes)), writable_(writable) {}
        bool read(void *buffer, size_t count, size_t *done) override {
            const size_t left = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
            *done = std::min(count, left);
            if (*done > 0) std::memcpy(buffer, bytes_->data() + position_, *done);
            position_ += *done;
            return true;
        }
        bool write(const void *buffer, size_t count, size_t *done) override {
            *done = 0;
            if (!writable_) return false;
            if (bytes_->size() < position_ + count) bytes_->resize(position_ + count);
            if (count > 0) std::memcpy(bytes_->data() + position_, buffer, count);
            position_ += count;
            *done = count;
            return true;
        }
        bool seek(int64_t offset, platform::Origin origin, uint64_t *position) override {
            const int64_t base = origin == platform::Origin::Begin     ? 0
                                 : origin == platform::Origin::Current ? int64_t(position_)
                                                                       : int64_t(bytes_->size());
            if (base + offset < 0) return false;
            position_ = static_cast<uint64_t>(base + offset);
            if (position != nullptr) *position = position_;
            return true;
        }
        bool set_end() override {
            if (!writable_) return false;
            bytes_->resize(position_);
            return true;
        }
        bool size(uint64_t *size) override {
            *size = bytes_->size();
            return true;
        }
        bool get_times(platform::FileTimes *times) override {
            *times = {};
            return true;
        }
        bool set_times(const platform::FileTimes &) override { return writable_; }
        bool identity(platform::FileIdentity *identity) override {
            *identity = identity_of(bytes_.get());
            return true;
        }

    private:
        std::shared_ptr<Bytes> bytes_;
        bool writable_;
        uint64_t position_ = 0;
    };

    std::map<std::string, std::shared_ptr<Bytes>> files_;
};

} // namespace qxv_test
