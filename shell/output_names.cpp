#include "shell/output_names.h"

bool IsPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

namespace {

// Index of the first character of the file name.
size_t NameStart(const std::string &path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsPathSeparator(path[i - 1])) return i;
    return 0;
}

bool EqualsIgnoringCase(const std::string &text, size_t from, const char *lower) {
    for (size_t i = 0; lower[i]; ++i) {
        if (from + i >= text.size()) return false;
        char c = text[from + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return from + std::char_traits<char>::length(lower) == text.size();
}

} // namespace

std::string FileNamePart(const std::string &path) {
    return path.substr(NameStart(path));
}

std::string WithoutTrailingSeparator(const std::string &path) {
    if (path.size() > 1 && IsPathSeparator(path.back())) return path.substr(0, path.size() - 1);
    return path;
}

std::string EncryptedName(const std::string &path) {
    return path + ".qxv";
}

std::string DecryptedName(const std::string &path) {
    const size_t name = NameStart(path);
    const size_t dot = path.rfind('.');
    // A name that is only ".qxv" would leave nothing but the folder: it takes ".dec" instead.
    if (dot != std::string::npos && dot > name && EqualsIgnoringCase(path, dot, ".qxv"))
        return path.substr(0, dot);
    return path + ".dec";
}

bool HasContainerExtension(const std::string &path) {
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && dot >= NameStart(path) &&
           EqualsIgnoringCase(path, dot, ".qxv");
}

std::string InformationText(bool encrypt, size_t count, const std::string &first,
                            bool firstIsFolder) {
    std::string text = encrypt ? "Encrypting " : "Decrypting ";
    if (count >= 2) {
        text += std::to_string(count) + " files.";
    } else if (count == 1 && firstIsFolder) {
        text += "directory: " + WithoutTrailingSeparator(first);
    } else if (count == 1) {
        text += "file: " + FileNamePart(first);
    }
    return text;
}
