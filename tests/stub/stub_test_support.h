// Shared by the stub tests: the containers of the independent writer, the built stub, scratch
// folders, and self-decrypting files made by appending a container to the stub.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace stub_test {

using Bytes = std::vector<unsigned char>;

// A path of the build tree as this program must name it (under Wine: on drive Z:).
std::filesystem::path host_path(const std::string &build_path);

std::filesystem::path data_file(const std::string &name);
std::filesystem::path built_stub();
// The password the writer used for a container ("NAME.pass", or the common one).
std::string password_of(const std::string &name);

Bytes read_bytes(const std::filesystem::path &path);
void write_bytes(const std::filesystem::path &path, const Bytes &bytes);

// The stub's file followed by the container "NAME.qxv", written to `destination`.
void make_self_decrypting(const std::string &name, const std::filesystem::path &destination);

// `count` bytes of a pattern that repeats only after 251 * 256 bytes.
Bytes patterned_bytes(size_t count);

// A self-decrypting file made by our own engine and executable build: `plain` encrypted with the
// mode letter ('e', 'E' or 'A') under `password` in place at `plain_path`, then appended to the
// stub at `executable`.
void make_engine_self_decrypting(const Bytes &plain, char mode, const std::string &password,
                                 const std::filesystem::path &plain_path,
                                 const std::filesystem::path &executable);

// A fresh folder of its own, removed with everything in it at the end of the test.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Names of the containers that decrypt, one per algorithm and per edge of the format.
extern const std::vector<std::string> GOOD_CONTAINERS;

} // namespace stub_test
