#include "stub/stub_paths.h"

namespace {

#ifdef _WIN32
constexpr const char *PATH_SEPARATORS = "\\/:";
#else
constexpr const char *PATH_SEPARATORS = "/";
#endif

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string stub_input_path(const std::string &arguments, const std::string &own_path) {
    size_t begin = 0;
    size_t end = arguments.size();
    while (begin < end && is_blank(arguments[begin]))
        ++begin;
    while (end > begin && is_blank(arguments[end - 1]))
        --end;
    std::string path = arguments.substr(begin, end - begin);
    if (!path.empty() && path.front() == '"') {
        size_t close = path.find('"', 1);
        path = path.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return path.empty() ? own_path : path;
}

std::string stub_default_output_name(const std::string &input_path) {
    size_t separator = input_path.find_last_of(PATH_SEPARATORS);
    size_t name_start = separator == std::string::npos ? 0 : separator + 1;
    size_t dot = input_path.rfind('.');
    if (dot == std::string::npos || dot <= name_start) return input_path + ".dec";
    return input_path.substr(0, dot);
}
