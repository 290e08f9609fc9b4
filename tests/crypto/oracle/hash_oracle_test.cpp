// Our hashes against OpenSSL's libcrypto over every length up to a few blocks and over random
// lengths and contents.
#include "crypto/hashmech.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

namespace {

struct Pair {
    uint32_t id;
    const EVP_MD *(*openssl)();
    const char *name;
};

const Pair kPairs[] = {
    {HASHMECH_MD5, EVP_md5, "MD5"},
    {HASHMECH_SHA1, EVP_sha1, "SHA1"},
    {HASHMECH_RIPEMD160, EVP_ripemd160, "RIPEMD160"},
    {HASHMECH_SHA256, EVP_sha256, "SHA256"},
    {HASHMECH_SHA384, EVP_sha384, "SHA384"},
    {HASHMECH_SHA512, EVP_sha512, "SHA512"},
};

class AgainstOpenSsl : public ::testing::TestWithParam<Pair> {
protected:
    void expect_same(const std::vector<uint8_t> &message) {
        const Pair &p = GetParam();
        uint8_t ours[HASHMECH_MAX_DIGEST], theirs[EVP_MAX_MD_SIZE];
        unsigned int theirs_size = 0;
        ASSERT_EQ(hashmech_hash(p.id, 0, message.data(), uint32_t(message.size()), ours), 0);
        ASSERT_EQ(
            EVP_Digest(message.data(), message.size(), theirs, &theirs_size, p.openssl(), nullptr),
            1);
        ASSERT_EQ(theirs_size, hashmech_digest_size(p.id));
        ASSERT_EQ(std::vector<uint8_t>(ours, ours + theirs_size),
                  std::vector<uint8_t>(theirs, theirs + theirs_size))
            << p.name << " over " << message.size() << " bytes";
    }
};

TEST_P(AgainstOpenSsl, EveryLengthUpToThreeBlocks) {
    std::mt19937 rng(GetParam().id);
    std::vector<uint8_t> message;
    for (uint32_t n = 0; n <= 3 * hashmech_block_size(GetParam().id) + 1; ++n) {
        expect_same(message);
        message.push_back(uint8_t(rng()));
    }
}

TEST_P(AgainstOpenSsl, RandomLengthsAndContents) {
    std::mt19937 rng(GetParam().id + 1000);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> message(rng() % 70000);
        for (auto &b : message)
            b = uint8_t(rng());
        expect_same(message);
    }
}

INSTANTIATE_TEST_SUITE_P(Hashes, AgainstOpenSsl, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<Pair> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
