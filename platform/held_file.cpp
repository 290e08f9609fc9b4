#include "platform/held_file.h"

namespace platform {

bool HeldFile::hold(const std::string &path) {
    handle_ =
        file_system().open(path, Access::Read, Share::ReadWriteDelete, Disposition::OpenExisting);
    // Read once, now: Wine forgets the volume of a handle whose file is renamed under it.
    const auto identity = handle_ ? identity_of(*handle_) : std::nullopt;
    held_ = identity.has_value();
    if (!held_) {
        handle_.reset();
        return false;
    }
    identity_ = *identity;
    return true;
}

void HeldFile::adopt(const FileIdentity &identity) {
    handle_.reset();
    identity_ = identity;
    held_ = true;
}

bool HeldFile::remove_at(const std::string &path) {
    const bool removed = held_ && file_system().remove_file_if_same(path, identity_);
    handle_.reset();
    held_ = false;
    return removed;
}

bool HeldFile::rename_at(const std::string &from, const std::string &to) {
    return held_ && file_system().rename_no_replace_if_same(from, to, identity_);
}

} // namespace platform
