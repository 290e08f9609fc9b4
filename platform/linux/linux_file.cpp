#include "platform/linux/linux_file.h"

#include "platform/linux/linux_sharing.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::linux_os {

namespace {

constexpr int64_t SECONDS_1601_TO_1970 = 11644473600;
constexpr int64_t TICKS_PER_SECOND = 10000000;

int whence_of(Origin origin) {
    switch (origin) {
    case Origin::Begin:
        return SEEK_SET;
    case Origin::Current:
        return SEEK_CUR;
    case Origin::End:
        break;
    }
    return SEEK_END;
}

timespec timespec_of(uint64_t file_time) {
    timespec result{};
    if (file_time == 0) {
        result.tv_nsec = UTIME_OMIT;
        return result;
    }
    int64_t seconds = 0;
    long nanoseconds = 0;
    from_file_time(file_time, &seconds, &nanoseconds);
    result.tv_sec = static_cast<time_t>(seconds);
    result.tv_nsec = nanoseconds;
    return result;
}

} // namespace

uint64_t to_file_time(int64_t seconds, uint32_t nanoseconds) {
    const int64_t since_1601 = seconds + SECONDS_1601_TO_1970;
    if (since_1601 < 0) return 0;
    return static_cast<uint64_t>(since_1601) * TICKS_PER_SECOND + nanoseconds / 100;
}

void from_file_time(uint64_t file_time, int64_t *seconds, long *nanoseconds) {
    *seconds = static_cast<int64_t>(file_time / TICKS_PER_SECOND) - SECONDS_1601_TO_1970;
    *nanoseconds = static_cast<long>(file_time % TICKS_PER_SECOND) * 100;
}

LinuxFile::~LinuxFile() {
    close(fd_);
}

// A regular file keeps its position here and reads and writes at it (pread, pwrite): a seek
// costs no call. A stream (a pipe, a terminal) has no position to keep.
bool LinuxFile::read(void *buffer, size_t count, size_t *done) {
    *done = 0;
    auto *bytes = static_cast<uint8_t *>(buffer);
    bool ok = true;
    while (ok && *done < count) {
        const off_t at = offset_ + static_cast<off_t>(*done);
        const ssize_t got = positioned_ ? ::pread(fd_, bytes + *done, count - *done, at)
                                        : ::read(fd_, bytes + *done, count - *done);
        if (got < 0 && errno == EINTR) continue;
        ok = got >= 0;
        if (got <= 0) break;
        *done += static_cast<size_t>(got);
    }
    offset_ += static_cast<off_t>(*done);
    return ok;
}

bool LinuxFile::write(const void *buffer, size_t count, size_t *done) {
    *done = 0;
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    bool ok = true;
    while (ok && *done < count) {
        const off_t at = offset_ + static_cast<off_t>(*done);
        const ssize_t put = positioned_ ? ::pwrite(fd_, bytes + *done, count - *done, at)
                                        : ::write(fd_, bytes + *done, count - *done);
        if (put < 0 && errno == EINTR) continue;
        ok = put > 0;
        if (ok) *done += static_cast<size_t>(put);
    }
    offset_ += static_cast<off_t>(*done);
    return ok;
}

bool LinuxFile::seek(int64_t offset, Origin origin, uint64_t *position) {
    off_t at = -1;
    if (!positioned_) {
        at = lseek(fd_, static_cast<off_t>(offset), whence_of(origin));
    } else {
        off_t base = origin == Origin::Current ? offset_ : 0;
        struct stat status {};
        if (origin == Origin::End) {
            if (fstat(fd_, &status) != 0) return false;
            base = status.st_size;
        }
        if (__builtin_add_overflow(base, static_cast<off_t>(offset), &at)) at = -1;
        if (at < 0) errno = EINVAL;
    }
    if (at < 0) return false;
    offset_ = at;
    if (position != nullptr) *position = static_cast<uint64_t>(at);
    return true;
}

// Growing the file allocates its blocks, so that a full disk shows here and not in a later
// write; file systems that cannot allocate ahead get a sparse extension.
bool LinuxFile::set_end() {
    const off_t at = positioned_ ? offset_ : lseek(fd_, 0, SEEK_CUR);
    struct stat status {};
    if (at < 0 || fstat(fd_, &status) != 0) return false;
    if (at > status.st_size) {
        const int failure = posix_fallocate(fd_, status.st_size, at - status.st_size);
        if (failure == 0) return true;
        if (failure != EOPNOTSUPP && failure != EINVAL) {
            (void)ftruncate(fd_, status.st_size);
            return false;
        }
    }
    return ftruncate(fd_, at) == 0;
}

bool LinuxFile::size(uint64_t *size) {
    struct stat status {};
    if (fstat(fd_, &status) != 0) return false;
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

// Creation time is the birth time where the file system reports one, else the last-write time.
bool LinuxFile::get_times(FileTimes *times) {
    struct statx status {};
    if (statx(fd_, "", AT_EMPTY_PATH, STATX_ATIME | STATX_MTIME | STATX_BTIME, &status) != 0)
        return false;
    times->access = to_file_time(status.stx_atime.tv_sec, status.stx_atime.tv_nsec);
    times->write = to_file_time(status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec);
    times->creation = (status.stx_mask & STATX_BTIME) != 0
                          ? to_file_time(status.stx_btime.tv_sec, status.stx_btime.tv_nsec)
                          : times->write;
    return true;
}

// The birth time cannot be set here; access and last-write times can.
bool LinuxFile::set_times(const FileTimes &times) {
    const timespec specs[2] = {timespec_of(times.access), timespec_of(times.write)};
    if (times.access == 0 && times.write == 0) return true;
    return futimens(fd_, specs) == 0;
}

// The data and what reading it back needs (the size), not the times: half the device work of
// fsync on a file that only grew or was overwritten.
bool LinuxFile::flush() {
    return fdatasync(fd_) == 0;
}

// Queues the range's dirty pages for writing and returns: the disk works while the caller
// computes the next range. Not a durability point (no metadata, no device cache): a failure
// shows at the flush.
void LinuxFile::start_write_back(uint64_t offset, uint64_t length) {
    sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                    SYNC_FILE_RANGE_WRITE);
}

bool LinuxFile::get_permissions(uint32_t *mode) {
    struct stat status {};
    if (fstat(fd_, &status) != 0) return false;
    *mode = status.st_mode & 0777;
    return true;
}

bool LinuxFile::set_permissions(uint32_t mode) {
    return fchmod(fd_, static_cast<mode_t>(mode & 0777)) == 0;
}

bool LinuxFile::identity(FileIdentity *identity) {
    struct stat status {};
    if (fstat(fd_, &status) != 0) return false;
    identity->volume = static_cast<uint64_t>(status.st_dev);
    identity->index = static_cast<uint64_t>(status.st_ino);
    return true;
}

bool LinuxFile::link_count(uint64_t *count) {
    struct stat status {};
    if (fstat(fd_, &status) != 0) return false;
    *count = static_cast<uint64_t>(status.st_nlink);
    return true;
}

std::unique_ptr<File> open_file(const std::string &path, Access access, Share share,
                                Disposition disposition) {
    // Write handles are opened for reading too: the sharing markers are read locks. A handle
    // that writes never goes through a symbolic link: a link planted at an output's name would
    // send the bytes elsewhere, and in-place encryption through one would leave a file that
    // looks plain but is not. (O_EXCL already refuses any link at a new file's name.)
    // Without blocking: opening a FIFO would wait for a writer forever. Anything but a regular
    // file is refused below, before a byte is read or written.
    int flags = O_CLOEXEC | O_NONBLOCK | (access == Access::Read ? O_RDONLY : O_RDWR | O_NOFOLLOW);
    if (disposition == Disposition::CreateNew) flags |= O_CREAT | O_EXCL;
    if (disposition == Disposition::CreateAlways) flags |= O_CREAT | O_NOFOLLOW;
    // New files start owner-only; whoever writes one gives it its source's permissions.
    const mode_t create_mode = disposition == Disposition::CreateNew ? 0600 : 0666;
    bool shared_markers = true;
    int fd = ::open(path.c_str(), flags, create_mode);
    if (fd < 0 && errno == EACCES && access == Access::Write) {
        fd = ::open(path.c_str(), (flags & ~O_RDWR) | O_WRONLY, create_mode);
        shared_markers = false;
    }
    if (fd < 0) return nullptr;

    struct stat status {};
    const bool created = disposition == Disposition::CreateNew;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        // F_SETFL changes only O_APPEND, O_ASYNC, O_DIRECT, O_NOATIME and O_NONBLOCK, and of
        // these only O_NONBLOCK was set: clearing them all needs no F_GETFL first.
        fcntl(fd, F_SETFL, 0) != 0 || (shared_markers && !acquire_sharing(fd, access, share)) ||
        // Truncate only once the sharing allows it, never under another handle's feet.
        (disposition == Disposition::CreateAlways && ftruncate(fd, 0) != 0)) {
        close(fd);
        // Only the file made here: another that took the name since is not ours to delete.
        struct stat named {};
        if (created && status.st_ino != 0 && lstat(path.c_str(), &named) == 0 &&
            named.st_dev == status.st_dev && named.st_ino == status.st_ino)
            unlink(path.c_str());
        return nullptr;
    }
    return std::make_unique<LinuxFile>(fd, true);
}

std::unique_ptr<File> open_stream(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd >= 0 && (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode))) {
        close(fd);
        return nullptr;
    }
    return fd < 0 ? nullptr : std::make_unique<LinuxFile>(fd, S_ISREG(status.st_mode));
}

} // namespace platform::linux_os
