#include "platform/file_system.h"

namespace platform {

namespace {
FileSystem *current = nullptr;
}

FileSystem &file_system() {
    return current != nullptr ? *current : native_file_system();
}

void set_file_system(FileSystem *replacement) {
    current = replacement;
}

bool read_exact(File &file, void *buffer, size_t count) {
    size_t done = 0;
    return file.read(buffer, count, &done) && done == count;
}

bool write_exact(File &file, const void *buffer, size_t count) {
    size_t done = 0;
    return file.write(buffer, count, &done) && done == count;
}

std::optional<FileIdentity> identity_of(File &file) {
    FileIdentity identity;
    if (!file.identity(&identity)) return std::nullopt;
    return identity;
}

std::string folder_of(const std::string &path) {
#ifdef _WIN32
    const size_t cut = path.find_last_of("/\\");
#else
    const size_t cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

} // namespace platform
