// Key derivation against SHA-1 values from Python's hashlib over password || salt.
#include "container/derive_key.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const char SALT[] = "Mon Dec 07 13:38:22 2026\n";

std::vector<uint8_t> from_hex(const std::string &hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<uint8_t> key_of(const std::string &password, uint32_t key_length) {
    std::vector<uint8_t> key(key_length);
    derive_key(password.c_str(), reinterpret_cast<const uint8_t *>(SALT), 25, key.data(),
               key_length);
    return key;
}

TEST(DeriveKey, LeadingBytesOfSha1OverPasswordThenSalt) {
    const std::string long_password = std::string(231, 'A');
    std::string longer_password;
    for (int c = 1; c < 256; ++c)
        longer_password += static_cast<char>(c);
    for (int i = 0; i < 20; ++i)
        longer_password += "xyz";
    const struct {
        std::string password;
        const char *digest;
    } cases[] = {
        {"password", "515d0cc60fde4f625f3e4556fef89a702192ef11"},
        {"", "728ad3e43939c62e25978c77060b9f0c4f81a433"},              // the salt alone
        {long_password, "7063081c909e88e92a5fd665bdbbfe56987cbdb5"},   // 231 + 25 = 256 bytes
        {longer_password, "957b5f2f59e01f5257b619893aa444bd7faf4447"}, // 315 bytes, hashed whole
    };
    for (const auto &c : cases) {
        const auto digest = from_hex(c.digest);
        EXPECT_EQ(key_of(c.password, 16), std::vector<uint8_t>(digest.begin(), digest.begin() + 16))
            << c.password.size();
        // The DES key is the first half of the 16-byte key.
        EXPECT_EQ(key_of(c.password, 8), std::vector<uint8_t>(digest.begin(), digest.begin() + 8));
    }
}

TEST(DeriveKey, KeyMayOverwriteThePasswordBuffer) {
    char buffer[64] = "password";
    derive_key(buffer, reinterpret_cast<const uint8_t *>(SALT), 25,
               reinterpret_cast<uint8_t *>(buffer), 16);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 16), key_of("password", 16));
}

TEST(DeriveKey, SaltLengthIsTakenAsGiven) {
    // Salts of other lengths than 25: all of their bytes count, and nothing past them.
    uint8_t salt[200];
    for (int i = 0; i < 200; ++i)
        salt[i] = static_cast<uint8_t>(i);
    uint8_t key[16];
    derive_key("pw", reinterpret_cast<const uint8_t *>(SALT), 10, key, 16);
    EXPECT_EQ(std::vector<uint8_t>(key, key + 16), from_hex("3db5b04c0bf88bfe48bae3fd290f7f31"));
    derive_key("pw", salt, 200, key, 16);
    EXPECT_EQ(std::vector<uint8_t>(key, key + 16), from_hex("b0af9259f77091916caa89f325ac6685"));
}

} // namespace
