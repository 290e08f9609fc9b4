// Windows sharing modes emulated with open-file-description (OFD) locks, so that our own
// processes see each other's handles the way they would on Windows: an open that asks for no
// sharing fails while any other handle is open, and a write open fails while a holder denies
// writing.
//
// Each handle takes shared locks on single marker bytes far beyond any real file size: one per
// access it has (read, write) and one per access it denies to others. A new open first tests,
// with a would-be exclusive lock, that no other handle holds a marker that conflicts with it.
// Adjacent markers are tested and taken in one call, a range of bytes.
// Test and take are two steps, so two opens racing within microseconds may both succeed; the
// locks are advisory and only our own code honours them.
#pragma once

#include "platform/file_system.h"

namespace platform::linux_os {

// true when the handle `fd` may join the file's other handles; it then holds its markers.
bool acquire_sharing(int fd, Access access, Share share);

} // namespace platform::linux_os
