#include "platform/linux/linux_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool copy_contents(int from, int to) {
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        ssize_t put = 0;
        while (put < got) {
            const ssize_t step = write(to, buffer.data() + put, static_cast<size_t>(got - put));
            if (step < 0 && errno == EINTR) continue;
            if (step <= 0) return false;
            put += step;
        }
    }
}

// A name inside an open folder: once the folder is open, a folder above it renamed meanwhile
// cannot send the operation elsewhere.
class NameInFolder {
public:
    explicit NameInFolder(const std::string &path) {
        const std::string folder_path = folder_of(path);
        name_ = path.substr(folder_path.size());
        if (name_.empty() || name_ == "." || name_ == "..") return;
        folder_ = ::open(folder_path.empty() ? "." : folder_path.c_str(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    ~NameInFolder() {
        if (folder_ >= 0) close(folder_);
    }
    NameInFolder(const NameInFolder &) = delete;
    NameInFolder &operator=(const NameInFolder &) = delete;

    bool valid() const { return folder_ >= 0; }
    int folder() const { return folder_; }
    const char *name() const { return name_.c_str(); }

    // true when the name stands for the file `expected` itself, not a link to it or a folder.
    bool names(const FileIdentity &expected) const {
        struct stat status {};
        return valid() && fstatat(folder_, name(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(status.st_mode) && static_cast<uint64_t>(status.st_dev) == expected.volume &&
               static_cast<uint64_t>(status.st_ino) == expected.index;
    }

private:
    int folder_ = -1;
    std::string name_;
};

bool rename_at_no_replace(int from_folder, const char *from, int to_folder, const char *to) {
    if (renameat2(from_folder, from, to_folder, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name.
    if (linkat(from_folder, from, to_folder, to, 0) != 0) return false;
    return unlinkat(from_folder, from, 0) == 0;
}

class LinuxFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string &path, Access access, Share share,
                               Disposition disposition) override {
        return linux_os::open_file(path, access, share, disposition);
    }

    std::unique_ptr<File> open_stream(const std::string &path) override {
        return linux_os::open_stream(path);
    }

    // Like the Windows copy: contents, permissions and last-write time; never over an
    // existing file, and no half copy left behind.
    bool copy_file_no_replace(const std::string &from, const std::string &to) override {
        const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (source < 0) return false;
        struct stat status {};
        if (fstat(source, &status) != 0 || S_ISDIR(status.st_mode)) {
            close(source);
            return false;
        }
        const int target =
            ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777);
        if (target < 0) {
            close(source);
            return false;
        }
        const timespec times[2] = {status.st_atim, status.st_mtim};
        bool copied = copy_contents(source, target) && futimens(target, times) == 0;
        close(source);
        copied = close(target) == 0 && copied;
        if (!copied) unlink(to.c_str());
        return copied;
    }

    bool remove_file(const std::string &path) override { return unlink(path.c_str()) == 0; }

    bool rename_no_replace(const std::string &from, const std::string &to) override {
        return rename_at_no_replace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
    }

    // POSIX has no call that deletes or renames a name only if it still stands for a given
    // inode. What is left is a race between the check and the unlink or rename, narrowed to
    // two system calls on an open folder: a file swapped in under the name within those
    // microseconds would still be taken (a rename then notices it and moves it back). The
    // caller's open handle keeps the inode, so its number cannot pass to a new file meanwhile.
    bool remove_file_if_same(const std::string &path, const FileIdentity &expected) override {
        const NameInFolder name(path);
        return name.names(expected) && unlinkat(name.folder(), name.name(), 0) == 0;
    }

    bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                   const FileIdentity &expected) override {
        const NameInFolder source(from), target(to);
        if (!source.names(expected) || !target.valid() ||
            !rename_at_no_replace(source.folder(), source.name(), target.folder(), target.name()))
            return false;
        if (target.names(expected)) return true;
        // Another file took the name between the check and the rename: it gets its name back.
        rename_at_no_replace(target.folder(), target.name(), source.folder(), source.name());
        return false;
    }

    std::optional<FileAttributes> attributes(const std::string &path) override {
        struct stat status {};
        if (stat(path.c_str(), &status) != 0) return std::nullopt;
        FileAttributes attributes;
        attributes.is_folder = S_ISDIR(status.st_mode);
        attributes.is_readonly = access(path.c_str(), W_OK) != 0;
        const size_t slash = path.find_last_of('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        attributes.is_hidden = name.size() > 1 && name[0] == '.' && name != "..";
        attributes.size = static_cast<uint64_t>(status.st_size);
        return attributes;
    }

    NameKind name_kind(const std::string &path) override {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0)
            return errno == ENOENT ? NameKind::Free : NameKind::Other;
        return S_ISREG(status.st_mode) ? NameKind::File : NameKind::Other;
    }

    bool list_folder(const std::string &path, std::vector<FolderEntry> *entries) override {
        DIR *folder = opendir(path.c_str());
        if (folder == nullptr) return false;
        const int folder_fd = dirfd(folder);
        while (const dirent *entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            FolderEntry item;
            item.name = name;
            struct stat status {};
            if (fstatat(folder_fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                item.is_link = S_ISLNK(status.st_mode);
                if (item.is_link) fstatat(folder_fd, entry->d_name, &status, 0);
                item.is_folder = S_ISDIR(status.st_mode);
                item.is_other = !item.is_folder && !S_ISREG(status.st_mode);
            }
            entries->push_back(std::move(item));
        }
        closedir(folder);
        return true;
    }

    bool concurrent() const override { return true; }
    bool renames_open_files() const override { return true; }
    bool sync_folder(const std::string &path) override {
        const int folder =
            ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) return false;
        const bool synced = fsync(folder) == 0;
        close(folder);
        return synced;
    }

    LocalTime local_time() override {
        const time_t now = time(nullptr);
        tm parts{};
        localtime_r(&now, &parts);
        LocalTime local;
        local.year = parts.tm_year + 1900;
        local.month = parts.tm_mon + 1;
        local.day = parts.tm_mday;
        local.weekday = parts.tm_wday;
        local.hour = parts.tm_hour;
        local.minute = parts.tm_min;
        local.second = parts.tm_sec;
        return local;
    }

    std::string module_path() override {
        std::vector<char> buffer(PATH_MAX);
        for (;;) {
            const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (length < 0) return std::string();
            if (static_cast<size_t>(length) < buffer.size())
                return std::string(buffer.data(), length);
            buffer.resize(buffer.size() * 2);
        }
    }
};

} // namespace

FileSystem &native_file_system() {
    static LinuxFileSystem instance;
    return instance;
}

} // namespace platform
