// A file system in memory that knows what a power cut would keep. Each file has the contents
// last made durable (File::flush) and the contents seen now; each name's creation, removal or
// rename is pending until sync_folder of its folder. cut_power_at(N) makes the Nth call that
// changes anything, and every call after it, fail, as when the machine stops; crash() then gives
// the image the disk would show on restart: the durable state plus none, all, or a random
// subset of the pending changes (4 KiB pages or 512-byte sectors of file data in any order, as
// a disk may reorder them; name changes in the order they were made, as a journaling file
// system commits them).
// A single call can also be made to fail with the power on, to cut it while a failure is undone.
#pragma once

#include "platform/file_system.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>

namespace qxv_test {

enum class CrashVariant {
    None,         // only what was made durable
    All,          // every change, as if the cut came after the disk had caught up
    Random,       // a random prefix of the name changes, random 4 KiB pages of file data
    RandomSectors // the same in 512-byte sectors: a disk that tears a page
};

struct CrashImageFile {
    std::vector<uint8_t> bytes;
    platform::FileTimes times;
};
using CrashImage = std::map<std::string, CrashImageFile>;

class CrashFileSystem final : public platform::FileSystem {
public:
    using Bytes = std::vector<uint8_t>;
    static constexpr size_t PAGE_SIZE = 4096;

    CrashFileSystem() = default;
    // Everything in the image is durable.
    explicit CrashFileSystem(const CrashImage &image) {
        for (const auto &[path, file] : image)
            put(path, file.bytes, file.times);
    }

    // A durable file.
    void put(const std::string &path, Bytes bytes, platform::FileTimes times = {}) {
        auto node = std::make_shared<Node>();
        node->current = node->durable = std::move(bytes);
        node->times = node->durable_times = times;
        names_[path] = durable_names_[path] = node;
    }
    const Bytes *get(const std::string &path) const {
        auto it = names_.find(path);
        return it == names_.end() ? nullptr : &it->second->current;
    }

    // The `nth` (1-based) modifying call from now on and all calls after it fail; 0: never.
    void cut_power_at(long nth) {
        calls_ = 0;
        cut_at_ = nth;
        fail_at_ = 0;
    }
    // Besides, the `nth` modifying call (counted as above) fails alone, changing nothing, as a
    // disk error would; the power stays on.
    void fail_call_at(long nth) { fail_at_ = nth; }
    bool powered() const { return powered_; }
    long modifying_calls() const { return calls_; }

    CrashImage crash(CrashVariant variant, std::mt19937 &random) const {
        const bool random_part =
            variant == CrashVariant::Random || variant == CrashVariant::RandomSectors;
        const size_t unit = variant == CrashVariant::RandomSectors ? 512 : PAGE_SIZE;
        auto coin = [&]() {
            return variant == CrashVariant::All || (random_part && (random() & 1) != 0);
        };
        auto names = durable_names_;
        size_t kept = variant == CrashVariant::All ? pending_.size() : 0;
        if (random_part) kept = random() % (pending_.size() + 1);
        for (size_t i = 0; i < kept; ++i)
            apply(pending_[i], &names);
        CrashImage image;
        for (const auto &[path, node] : names) {
            CrashImageFile &file = image[path];
            file.times = coin() ? node->times : node->durable_times;
            const Bytes &now = node->current, &old = node->durable;
            const size_t size = coin() ? now.size() : old.size();
            file.bytes.assign(std::max(now.size(), old.size()), 0);
            for (size_t page = 0; page < file.bytes.size(); page += unit) {
                const Bytes &from = coin() ? now : old;
                if (page < from.size())
                    std::memcpy(file.bytes.data() + page, from.data() + page,
                                std::min(unit, from.size() - page));
            }
            file.bytes.resize(size);
        }
        return image;
    }

    std::unique_ptr<platform::File> open(const std::string &path, platform::Access access,
                                         platform::Share,
                                         platform::Disposition disposition) override {
        if (!powered_ || (access != platform::Access::Read && !modify())) return nullptr;
        auto it = names_.find(path);
        if (disposition == platform::Disposition::OpenExisting && it == names_.end())
            return nullptr;
        if (disposition == platform::Disposition::CreateNew && it != names_.end()) return nullptr;
        std::shared_ptr<Node> node;
        if (it == names_.end()) {
            node = std::make_shared<Node>();
            name(path, node);
        } else {
            node = it->second;
            if (disposition == platform::Disposition::CreateAlways) node->current.clear();
        }
        return std::make_unique<Handle>(*this, node, access != platform::Access::Read);
    }
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        if (!modify()) return false;
        auto it = names_.find(from);
        if (it == names_.end() || names_.count(to) != 0) return false;
        auto node = std::make_shared<Node>();
        node->current = it->second->current;
        node->times = it->second->times;
        name(to, node);
        return true;
    }
    bool remove_file(const std::string &path) override {
        if (!modify() || names_.count(path) == 0) return false;
        name(path, nullptr);
        return true;
    }
    bool remove_file_if_same(const std::string &path,
                             const platform::FileIdentity &expected) override {
        return names(path, expected) && remove_file(path);
    }
    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const platform::FileIdentity &expected) override {
        return names(from, expected) && rename_no_replace(from, to);
    }
    bool rename_no_replace(const std::string &from, const std::string &to) override {
        if (!modify()) return false;
        auto it = names_.find(from);
        if (it == names_.end() || names_.count(to) != 0) return false;
        NameChange change{{{to, it->second}, {from, nullptr}}};
        apply(change, &names_);
        pending_.push_back(std::move(change));
        return true;
    }
    bool sync_folder(const std::string &folder) override {
        if (!modify()) return false;
        const std::string synced = without_separator(folder);
        std::vector<NameChange> still_pending;
        for (auto &change : pending_) {
            const bool here = std::any_of(change.begin(), change.end(), [&](const auto &entry) {
                return without_separator(platform::folder_of(entry.first)) == synced;
            });
            if (here)
                apply(change, &durable_names_);
            else
                still_pending.push_back(std::move(change));
        }
        pending_ = std::move(still_pending);
        return true;
    }
    // Folders are not kept: a folder is there while a file is in it.
    std::optional<platform::FileAttributes> attributes(const std::string &path) override {
        if (!powered_) return std::nullopt;
        platform::FileAttributes attributes;
        auto it = names_.find(path);
        if (it != names_.end()) {
            attributes.size = it->second->current.size();
            return attributes;
        }
        const std::string folder = without_separator(path);
        attributes.is_folder = std::any_of(names_.begin(), names_.end(), [&](const auto &entry) {
            return without_separator(platform::folder_of(entry.first)) == folder;
        });
        return attributes.is_folder ? std::optional(attributes) : std::nullopt;
    }
    bool list_folder(const std::string &folder,
                     std::vector<platform::FolderEntry> *entries) override {
        if (!powered_) return false;
        const std::string listed = without_separator(folder);
        for (const auto &[path, node] : names_)
            if (without_separator(platform::folder_of(path)) == listed)
                entries->push_back({path.substr(platform::folder_of(path).size()), false, false});
        return true;
    }
    platform::LocalTime local_time() override { return {2026, 12, 8, 2, 18, 5, 0}; }
    std::string module_path() override { return "/memory/module"; }

private:
    struct Node {
        Bytes current, durable;
        platform::FileTimes times, durable_times;
    };
    // Names changed together (a rename: the new name and the old one's removal); a null node
    // removes the name.
    using NameChange = std::vector<std::pair<std::string, std::shared_ptr<Node>>>;

    class Handle final : public platform::File {
    public:
        Handle(CrashFileSystem &owner, std::shared_ptr<Node> node, bool writable)
            : owner_(owner), node_(std::move(node)), writable_(writable) {}
        bool read(void *buffer, size_t count, size_t *done) override {
            *done = 0;
            if (!owner_.powered_) return false;
            const Bytes &bytes = node_->current;
            const size_t left = position_ < bytes.size() ? bytes.size() - position_ : 0;
            *done = std::min(count, left);
            if (*done > 0) std::memcpy(buffer, bytes.data() + position_, *done);
            position_ += *done;
            return true;
        }
        bool write(const void *buffer, size_t count, size_t *done) override {
            *done = 0;
            if (!writable_ || !owner_.modify()) return false;
            Bytes &bytes = node_->current;
            if (bytes.size() < position_ + count) bytes.resize(position_ + count);
            if (count > 0) std::memcpy(bytes.data() + position_, buffer, count);
            position_ += count;
            *done = count;
            return true;
        }
        bool seek(int64_t offset, platform::Origin origin, uint64_t *position) override {
            if (!owner_.powered_) return false;
            const int64_t base = origin == platform::Origin::Begin ? 0
                                 : origin == platform::Origin::Current
                                     ? int64_t(position_)
                                     : int64_t(node_->current.size());
            if (base + offset < 0) return false;
            position_ = static_cast<uint64_t>(base + offset);
            if (position != nullptr) *position = position_;
            return true;
        }
        bool set_end() override {
            if (!writable_ || !owner_.modify()) return false;
            node_->current.resize(position_);
            return true;
        }
        bool size(uint64_t *size) override {
            *size = node_->current.size();
            return owner_.powered_;
        }
        bool get_times(platform::FileTimes *times) override {
            *times = node_->times;
            return owner_.powered_;
        }
        bool set_times(const platform::FileTimes &times) override {
            if (!writable_ || !owner_.modify()) return false;
            if (times.creation != 0) node_->times.creation = times.creation;
            if (times.access != 0) node_->times.access = times.access;
            if (times.write != 0) node_->times.write = times.write;
            return true;
        }
        bool flush() override {
            if (!owner_.modify()) return false;
            node_->durable = node_->current;
            node_->durable_times = node_->times;
            return true;
        }
        bool set_permissions(uint32_t) override { return writable_ && owner_.modify(); }
        bool identity(platform::FileIdentity *identity) override {
            *identity = identity_of(node_.get());
            return owner_.powered_;
        }

    private:
        CrashFileSystem &owner_;
        std::shared_ptr<Node> node_;
        bool writable_;
        uint64_t position_ = 0;
    };

    // A file's identity here is the address of its node.
    static platform::FileIdentity identity_of(const Node *node) {
        return {1, reinterpret_cast<uintptr_t>(node)};
    }
    bool names(const std::string &path, const platform::FileIdentity &expected) const {
        auto it = names_.find(path);
        return powered_ && it != names_.end() && identity_of(it->second.get()) == expected;
    }

    // Counts a modifying call; false once the power is off.
    bool modify() {
        if (powered_ && ++calls_ == cut_at_) powered_ = false;
        return powered_ && calls_ != fail_at_;
    }
    void name(const std::string &path, std::shared_ptr<Node> node) {
        NameChange change{{path, std::move(node)}};
        apply(change, &names_);
        pending_.push_back(std::move(change));
    }
    static void apply(const NameChange &change,
                      std::map<std::string, std::shared_ptr<Node>> *names) {
        for (const auto &[path, node] : change) {
            if (node)
                (*names)[path] = node;
            else
                names->erase(path);
        }
    }
    static std::string without_separator(std::string folder) {
        while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
            folder.pop_back();
        return folder;
    }

    std::map<std::string, std::shared_ptr<Node>> names_, durable_names_;
    std::vector<NameChange> pending_;
    long calls_ = 0;
    long cut_at_ = 0;
    long fail_at_ = 0;
    bool powered_ = true;
};

} // namespace qxv_test
