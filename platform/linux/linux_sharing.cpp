#include "platform/linux/linux_sharing.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>

namespace platform::linux_os {

namespace {

enum Marker : int64_t { HAS_READ = 0, HAS_WRITE = 1, DENIES_READ = 2, DENIES_WRITE = 3 };

constexpr int64_t MARKER_BASE = INT64_MAX - 64;

flock marker_lock(short type, Marker marker) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = MARKER_BASE + marker;
    lock.l_len = 1;
    return lock;
}

// true when another handle holds the marker. A file system without lock support counts as
// holding nothing.
bool held_elsewhere(int fd, Marker marker) {
    flock lock = marker_lock(F_WRLCK, marker);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

bool hold(int fd, Marker marker) {
    flock lock = marker_lock(F_RDLCK, marker);
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    return errno != EAGAIN && errno != EACCES; // no lock support: nothing to honour
}

} // namespace

bool acquire_sharing(int fd, Access access, Share share) {
    const bool reads = access != Access::Write;
    const bool writes = access != Access::Read;
    const bool lets_read = share != Share::None;
    const bool lets_write = share == Share::ReadWrite || share == Share::ReadWriteDelete;

    if (reads && held_elsewhere(fd, DENIES_READ)) return false;
    if (writes && held_elsewhere(fd, DENIES_WRITE)) return false;
    if (!lets_read && held_elsewhere(fd, HAS_READ)) return false;
    if (!lets_write && held_elsewhere(fd, HAS_WRITE)) return false;

    return (!reads || hold(fd, HAS_READ)) && (!writes || hold(fd, HAS_WRITE)) &&
           (lets_read || hold(fd, DENIES_READ)) && (lets_write || hold(fd, DENIES_WRITE));
}

} // namespace platform::linux_os
