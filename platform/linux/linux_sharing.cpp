#include "platform/linux/linux_sharing.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>

namespace platform::linux_os {

namespace {

enum Marker : int64_t { HAS_READ = 0, HAS_WRITE = 1, DENIES_READ = 2, DENIES_WRITE = 3 };

constexpr int64_t MARKER_BASE = INT64_MAX - 64;

flock marker_lock(short type, int first, int count) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = MARKER_BASE + first;
    lock.l_len = count;
    return lock;
}

// true when another handle holds one of `count` markers from `first`. A file system without
// lock support counts as holding nothing.
bool held_elsewhere(int fd, int first, int count) {
    flock lock = marker_lock(F_WRLCK, first, count);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

bool hold(int fd, int first, int count) {
    flock lock = marker_lock(F_RDLCK, first, count);
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    return errno != EAGAIN && errno != EACCES; // no lock support: nothing to honour
}

// Calls `call(first, count)` for each run of adjacent markers in `markers` (a bit per marker):
// a lock on a range of bytes is tested and taken as those of each byte, in one call.
template <typename Call> bool each_run(unsigned markers, Call call) {
    for (int first = 0; first < 4;) {
        int end = first;
        while (end < 4 && (markers >> end & 1u) != 0)
            ++end;
        if (end > first && !call(first, end - first)) return false;
        first = end + 1;
    }
    return true;
}

unsigned bit(Marker marker, bool wanted) {
    return wanted ? 1u << marker : 0u;
}

} // namespace

bool acquire_sharing(int fd, Access access, Share share) {
    const bool reads = access != Access::Write;
    const bool writes = access != Access::Read;
    const bool lets_read = share != Share::None;
    const bool lets_write = share == Share::ReadWrite || share == Share::ReadWriteDelete;

    // Refused where another handle denies what this one does or does what this one denies.
    const unsigned refusing = bit(DENIES_READ, reads) | bit(DENIES_WRITE, writes) |
                              bit(HAS_READ, !lets_read) | bit(HAS_WRITE, !lets_write);
    if (!each_run(refusing,
                  [fd](int first, int count) { return !held_elsewhere(fd, first, count); }))
        return false;
    const unsigned holding = bit(HAS_READ, reads) | bit(HAS_WRITE, writes) |
                             bit(DENIES_READ, !lets_read) | bit(DENIES_WRITE, !lets_write);
    return each_run(holding, [fd](int first, int count) { return hold(fd, first, count); });
}

} // namespace platform::linux_os
