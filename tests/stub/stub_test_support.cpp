#include "tests/stub/stub_test_support.h"

#include "container/container.h"
#include "container/sfx_build.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

namespace stub_test {

const std::vector<std::string> GOOD_CONTAINERS = {
    "aes_chunks",        "des_small",     "des3_odd",       "aes_empty",      "aes_exact_chunk",
    "aes_zero_tail",     "des_zero_tail", "des3_trailer80", "aes_short_salt", "aes_long_password",
#ifdef _WIN32
    "aes_ansi_password",
#else
    "aes_utf8_password",
#endif
};

std::filesystem::path host_path(const std::string &build_path) {
#ifdef _WIN32
    if (!build_path.empty() && build_path.front() == '/')
        return std::filesystem::path("Z:" + build_path).make_preferred();
#endif
    return build_path;
}

std::filesystem::path data_file(const std::string &name) {
    return host_path(QXV_STUB_DATA) / name;
}

std::filesystem::path built_stub() {
    return host_path(QXVSD_PATH);
}

std::string password_of(const std::string &name) {
    std::filesystem::path pass = data_file(name + ".pass");
    if (!std::filesystem::exists(pass)) return "correct horse battery";
    Bytes bytes = read_bytes(pass);
    return std::string(bytes.begin(), bytes.end());
}

Bytes read_bytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::filesystem::path &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void make_self_decrypting(const std::string &name, const std::filesystem::path &destination) {
    Bytes bytes = read_bytes(built_stub());
    Bytes container = read_bytes(data_file(name + ".qxv"));
    bytes.insert(bytes.end(), container.begin(), container.end());
    write_bytes(destination, bytes);
    std::filesystem::permissions(destination, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
}

Bytes patterned_bytes(size_t count) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return bytes;
}

void make_engine_self_decrypting(const Bytes &plain, char mode, const std::string &password,
                                 const std::filesystem::path &plain_path,
                                 const std::filesystem::path &executable) {
    write_bytes(plain_path, plain);
    ASSERT_EQ(container_crypt_file(plain_path.string().c_str(), "", password.c_str(), mode),
              CRYPT_OK);
    ASSERT_EQ(
        container_build_sfx(built_stub().string(), executable.string(), plain_path.string(), true)
            .code,
        SFX_OK);
    ASSERT_FALSE(std::filesystem::exists(plain_path));
}

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("qxvsd-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace stub_test
