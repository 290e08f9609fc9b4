#include "platform/stub_file.h"

#include "platform/file_system.h"

namespace platform {

std::string stub_file_path() {
#ifdef _WIN32
    const char *name = "qxvsd.exe";
#else
    const char *name = "qxvsd";
#endif
    std::string module = file_system().module_path();
    return module.empty() ? std::string() : folder_of(module) + name;
}

bool stub_file_present() {
    std::string path = stub_file_path();
    if (path.empty()) return false;
    auto attributes = file_system().attributes(path);
    return attributes && !attributes->is_folder;
}

} // namespace platform
