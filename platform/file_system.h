// The one door to the operating system's files: every file operation of the container engine,
// the probe, the self-decrypting build and the batch processor goes through FileSystem, so a
// test can put a fault-injecting double in its place (set_file_system).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Access { Read, Write, ReadWrite };

// What other openers of the same file may do while this handle is open. ReadWriteDelete also
// lets the file be renamed or deleted meanwhile (POSIX always does): for a handle held only to
// pin a file's identity while this program itself renames or deletes it.
enum class Share { None, Read, ReadWrite, ReadWriteDelete };

enum class Disposition {
    OpenExisting, // fail unless the file exists
    CreateNew,    // fail if the file exists
    CreateAlways, // create, or truncate an existing file
};

enum class Origin { Begin, Current, End };

// File times as 100-nanosecond intervals since 1 January 1601 UTC. 0 means "unknown" when
// read and "leave as it is" when set.
struct FileTimes {
    uint64_t creation = 0;
    uint64_t access = 0;
    uint64_t write = 0;
};

struct FileAttributes {
    bool is_folder = false;
    bool is_hidden = false;
    bool is_readonly = false;
    bool is_system = false;
    uint64_t size = 0;
};

// Which file a handle or name stands for: the device and inode on POSIX, the volume serial
// number and file index on Windows. Stable while any handle on the file is open; a file
// deleted and made anew may take an old identity once every handle on it has closed.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity &) const = default;
};

struct FolderEntry {
    std::string name;
    bool is_folder = false;
    bool is_link = false;  // a symbolic link or junction: following it may loop
    bool is_other = false; // neither a regular file nor a folder: a FIFO, device or socket
};

struct LocalTime {
    int year = 0;
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int weekday = 0; // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// An open file. Reads and writes report the bytes moved: a read short of the count asked is the
// end of the file, not an error. Every call returns false on failure.
class File {
public:
    virtual ~File() = default;
    virtual bool read(void *buffer, size_t count, size_t *done) = 0;
    virtual bool write(const void *buffer, size_t count, size_t *done) = 0;
    virtual bool seek(int64_t offset, Origin origin, uint64_t *position = nullptr) = 0;
    virtual bool set_end() = 0; // cut or extend the file at the current position
    virtual bool size(uint64_t *size) = 0;
    virtual bool get_times(FileTimes *times) = 0;
    virtual bool set_times(const FileTimes &times) = 0;
    // Puts what was written on stable storage (fsync); a file only in memory has nothing to do.
    virtual bool flush() { return true; }
    // Starts putting a range already written on its way to storage without waiting, so that a
    // later flush finds little left; a hint only (nothing happens where the system has no such
    // call, or for a file only in memory), never a substitute for flush.
    virtual void start_write_back(uint64_t /*offset*/, uint64_t /*length*/) {}
    // Access permissions as POSIX mode bits (0777); where the system has none, get fails and
    // set does nothing.
    virtual bool get_permissions(uint32_t *) { return false; }
    virtual bool set_permissions(uint32_t) { return true; }
    // The identity of the open file; false when it cannot be told.
    virtual bool identity(FileIdentity *) { return false; }
    // How many names the file has (hard links); false when it cannot be told.
    virtual bool link_count(uint64_t *) { return false; }
};

// What a name stands for, not following a symbolic link: nothing, a file of its own, or
// anything else (a link, dangling or not, a folder, a device) that a new file cannot replace.
enum class NameKind { Free, File, Other };

// Paths are UTF-8.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // nullptr when the file cannot be opened, including when the sharing of another open
    // handle forbids it. Only regular files open: a FIFO, device or socket is refused without
    // waiting, whatever the access (Windows: devices and pipes are not yet refused).
    virtual std::unique_ptr<File> open(const std::string &path, Access access, Share share,
                                       Disposition disposition) = 0;
    // Opens anything that can be read from start to end, a pipe or device too (a password the
    // user hands over as "<(command)" or a FIFO); a read may wait for its writer.
    virtual std::unique_ptr<File> open_stream(const std::string &path) {
        return open(path, Access::Read, Share::Read, Disposition::OpenExisting);
    }
    // Fails when `to` exists (a symbolic link included); a copy that fails leaves no `to`.
    virtual bool copy_file_no_replace(const std::string &from, const std::string &to) = 0;
    virtual bool remove_file(const std::string &path) = 0;
    virtual bool rename_no_replace(const std::string &from, const std::string &to) = 0;
    // Delete or rename the file at `path` only if what that name stands for right now, not
    // following a symbolic link, is the file `expected` (taken from a handle on it, best still
    // open so that its identity cannot pass to another file); otherwise refuse, nothing changed.
    // A handle of this program still open on the file must share ReadWriteDelete.
    virtual bool remove_file_if_same(const std::string &path, const FileIdentity &expected) = 0;
    virtual bool rename_no_replace_if_same(const std::string &from, const std::string &to,
                                           const FileIdentity &expected) = 0;
    // nullopt when the path does not exist or cannot be examined.
    virtual std::optional<FileAttributes> attributes(const std::string &path) = 0;
    // Every entry of the folder but "." and "..", hidden and system ones included.
    virtual bool list_folder(const std::string &path, std::vector<FolderEntry> *entries) = 0;
    virtual LocalTime local_time() = 0;
    // Full path of the module (program or library) that holds this code.
    virtual std::string module_path() = 0;
    // Makes the names in a folder durable after a rename or delete in it (fsync of the folder).
    virtual bool sync_folder(const std::string &) { return true; }
    // Whether calls may come from several threads at once (the operating system's may; a test
    // double that keeps state usually not): a batch then runs files side by side.
    virtual bool concurrent() const { return false; }
    // Whether a file this program holds open unshared can be renamed, the handle staying on it
    // (Windows renames no such file; Linux renames any).
    virtual bool renames_open_files() const { return false; }

    bool exists(const std::string &path) { return attributes(path).has_value(); }
    // Where the system cannot tell links apart, what `attributes` sees.
    virtual NameKind name_kind(const std::string &path) {
        const auto found = attributes(path);
        if (!found) return NameKind::Free;
        return found->is_folder ? NameKind::Other : NameKind::File;
    }
};

// The file system every layer uses: the operating system's, unless a test has set another.
FileSystem &file_system();
// Replaces the file system for this process; nullptr restores the operating system's.
void set_file_system(FileSystem *replacement);
// The operating system's file system, whatever is set.
FileSystem &native_file_system();

// Whole-count helpers: true only when exactly `count` bytes moved.
bool read_exact(File &file, void *buffer, size_t count);
bool write_exact(File &file, const void *buffer, size_t count);

// The identity of an open file, or nullopt.
std::optional<FileIdentity> identity_of(File &file);

// The folder part of a path, separator included ("" when there is none).
std::string folder_of(const std::string &path);

} // namespace platform
