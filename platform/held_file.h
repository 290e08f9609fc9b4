// A file a flow works on, replaces or made, known by its identity: every delete or rename of
// it reaches that file only, never one put under its name meanwhile. A file the flow did not
// make is held open from before the engine runs until it is renamed or deleted, which keeps its
// identity from passing to another file.
#pragma once

#include "platform/file_system.h"

#include <memory>
#include <string>

namespace platform {

class HeldFile {
public:
    // Opens `path` for reading, sharing everything, and notes its identity; false when the
    // file cannot be opened or told apart.
    bool hold(const std::string &path);
    // A file this program made and has closed, known from the handle it wrote with.
    void adopt(const FileIdentity &identity);
    bool held() const { return held_; }
    const FileIdentity &identity() const { return identity_; }

    // Deletes the file at `path` if it is this one; the handle is closed either way, so that on
    // Windows the name is free once the call returns.
    bool remove_at(const std::string &path);
    // Renames the file at `from` to the free name `to` if it is this one.
    bool rename_at(const std::string &from, const std::string &to);

private:
    std::unique_ptr<File> handle_;
    FileIdentity identity_;
    bool held_ = false;
};

} // namespace platform
