// The hash mechanism layer over every hash it provides: streaming in any split equals the
// one-shot, contexts can be copied mid-message, refused ids, translation tables, file streams.
#include "crypto/errors.h"
#include "hash_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

namespace {

const uint32_t kProvided[] = {HASHMECH_MDC2,   HASHMECH_MDC4,      HASHMECH_MD5,
                              HASHMECH_SHA1,   HASHMECH_RIPEMD160, HASHMECH_SHA256,
                              HASHMECH_SHA384, HASHMECH_SHA512};

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto &b : v)
        b = uint8_t(rng());
    return v;
}

std::string digest_hex(uint32_t algorithm, const uint8_t *digest) {
    return to_hex(digest, hashmech_digest_size(algorithm));
}

// Streams `message` through update calls cut at `cuts` (ascending offsets), then a final that
// takes the last `tail` bytes.
std::string streamed_hex(uint32_t algorithm, const std::vector<uint8_t> &message,
                         const std::vector<size_t> &cuts, size_t tail = 0) {
    HashContext context;
    EXPECT_EQ(hashmech_init(algorithm, nullptr, &context), 0);
    size_t end = message.size() - tail, at = 0;
    for (size_t cut : cuts) {
        EXPECT_EQ(hashmech_update(algorithm, &context, message.data() + at, uint32_t(cut - at)), 0);
        at = cut;
    }
    EXPECT_EQ(hashmech_update(algorithm, &context, message.data() + at, uint32_t(end - at)), 0);
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_final(algorithm, &context, 0, message.data() + end, uint32_t(tail), digest),
              0);
    return digest_hex(algorithm, digest);
}

class EveryHash : public ::testing::TestWithParam<uint32_t> {};

TEST_P(EveryHash, SplitAtEveryOffsetEqualsOneShot) {
    const uint32_t id = GetParam();
    const uint32_t block = hashmech_block_size(id);
    const auto message = random_bytes(3 * block + 5, id);
    const std::string whole = hash_hex(id, message);
    for (size_t cut = 0; cut <= message.size(); ++cut) {
        ASSERT_EQ(streamed_hex(id, message, {cut}), whole) << "cut at " << cut;
    }
    for (size_t cut = 0; cut + block <= message.size(); ++cut) {
        ASSERT_EQ(streamed_hex(id, message, {cut, cut + 1, cut + block - 1}), whole)
            << "cuts at " << cut;
    }
}

TEST_P(EveryHash, ByteByByteAndFixedPiecesEqualOneShot) {
    const uint32_t id = GetParam();
    const uint32_t block = hashmech_block_size(id);
    const auto message = random_bytes(5 * block + 3, id + 100);
    const std::string whole = hash_hex(id, message);
    for (size_t piece : {size_t(1), size_t(block - 1), size_t(block), size_t(block + 1)}) {
        std::vector<size_t> cuts;
        for (size_t at = piece; at < message.size(); at += piece)
            cuts.push_back(at);
        EXPECT_EQ(streamed_hex(id, message, cuts), whole) << "pieces of " << piece;
    }
}

TEST_P(EveryHash, FinalTakesTheTail) {
    const uint32_t id = GetParam();
    const uint32_t block = hashmech_block_size(id);
    const auto message = random_bytes(4 * block, id + 200);
    for (size_t tail = 0; tail < block; ++tail) {
        std::vector<uint8_t> m(message.begin(), message.end() - long(block - tail));
        ASSERT_EQ(streamed_hex(id, m, {}, tail), hash_hex(id, m)) << "tail " << tail;
    }
    // A tail of a whole block or more is hashed in full, not cut short.
    EXPECT_EQ(streamed_hex(id, message, {}, 2 * block + 1), hash_hex(id, message));
}

TEST_P(EveryHash, CopiedContextContinuesIndependently) {
    const uint32_t id = GetParam();
    const auto message = random_bytes(7 * hashmech_block_size(id) + 11, id + 300);
    const size_t prefix = message.size() / 2 + 1;

    HashContext original;
    ASSERT_EQ(hashmech_init(id, nullptr, &original), 0);
    ASSERT_EQ(hashmech_update(id, &original, message.data(), uint32_t(prefix)), 0);
    HashContext copy = original;

    // The copy ends the message one way, the original another; neither disturbs the other.
    uint8_t a[HASHMECH_MAX_DIGEST], b[HASHMECH_MAX_DIGEST];
    ASSERT_EQ(hashmech_final(id, &copy, 0, nullptr, 0, a), 0);
    ASSERT_EQ(
        hashmech_update(id, &original, message.data() + prefix, uint32_t(message.size() - prefix)),
        0);
    ASSERT_EQ(hashmech_final(id, &original, 0, nullptr, 0, b), 0);
    EXPECT_EQ(digest_hex(id, a),
              hash_hex(id, std::vector<uint8_t>(message.begin(), message.begin() + long(prefix))));
    EXPECT_EQ(digest_hex(id, b), hash_hex(id, message));
}

TEST_P(EveryHash, TranslationTableHashesTheTranslatedMessage) {
    const uint32_t id = GetParam();
    uint8_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = uint8_t(255 - i * 7);
    const auto message = random_bytes(3 * hashmech_block_size(id) + 9, id + 400);
    std::vector<uint8_t> translated(message);
    for (auto &b : translated)
        b = table[b];

    for (size_t piece : {size_t(1), size_t(13), message.size()}) {
        HashContext context;
        ASSERT_EQ(hashmech_init(id, table, &context), 0);
        for (size_t at = 0; at < message.size(); at += piece) {
            size_t n = std::min(piece, message.size() - at);
            ASSERT_EQ(hashmech_update(id, &context, message.data() + at, uint32_t(n)), 0);
        }
        uint8_t digest[HASHMECH_MAX_DIGEST];
        ASSERT_EQ(hashmech_final(id, &context, 0, nullptr, 0, digest), 0);
        EXPECT_EQ(digest_hex(id, digest), hash_hex(id, translated)) << "pieces of " << piece;
    }
    // The table applies to the tail given to final as well.
    HashContext context;
    ASSERT_EQ(hashmech_init(id, table, &context), 0);
    uint8_t digest[HASHMECH_MAX_DIGEST];
    ASSERT_EQ(hashmech_final(id, &context, 0, message.data(), 5, digest), 0);
    EXPECT_EQ(digest_hex(id, digest),
              hash_hex(id, std::vector<uint8_t>(translated.begin(), translated.begin() + 5)));
}

TEST_P(EveryHash, ContextRefusesAnotherIdAndFinalWipesTheBuffer) {
    const uint32_t id = GetParam();
    HashContext context;
    ASSERT_EQ(hashmech_init(id, nullptr, &context), 0);
    const uint8_t secret[5] = {'s', 'e', 'c', 'r', 't'};
    ASSERT_EQ(hashmech_update(id, &context, secret, sizeof secret), 0);
    const uint32_t other = id == HASHMECH_SHA1 ? HASHMECH_SHA256 : HASHMECH_SHA1;
    EXPECT_EQ(hashmech_update(other, &context, secret, sizeof secret), ERR_INVALID_PARAMETER);
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_final(other, &context, 0, nullptr, 0, digest), ERR_INVALID_PARAMETER);
    ASSERT_EQ(hashmech_final(id, &context, 0, nullptr, 0, digest), 0);
    EXPECT_EQ(digest_hex(id, digest), hash_hex(id, std::vector<uint8_t>(secret, secret + 5)));
    const uint8_t zeros[sizeof context.buffer] = {};
    EXPECT_EQ(std::memcmp(context.buffer, zeros, sizeof zeros), 0);
    // After final the state starts with the digest.
    EXPECT_EQ(std::memcmp(context.state, digest, hashmech_digest_size(id)), 0);
}

TEST_P(EveryHash, FileStreamFromItsCurrentPosition) {
    const uint32_t id = GetParam();
    const auto content = random_bytes(20000 + id, id + 500);
    std::FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), f), content.size());
    for (size_t start : {size_t(0), size_t(3), content.size()}) {
        ASSERT_EQ(std::fseek(f, long(start), SEEK_SET), 0);
        uint8_t digest[HASHMECH_MAX_DIGEST];
        ASSERT_EQ(hashmech_hash_file(id, 0, f, digest), 0);
        EXPECT_EQ(digest_hex(id, digest),
                  hash_hex(id, std::vector<uint8_t>(content.begin() + long(start), content.end())));
    }
    std::fclose(f);
}

std::string id_name(const ::testing::TestParamInfo<uint32_t> &info) {
    return "id" + std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Provided, EveryHash, ::testing::ValuesIn(kProvided), id_name);

} // namespace

TEST(HashMechanism, SizesOfEveryId) {
    const uint32_t digest[13] = {16, 16, 16, 20, 16, 16, 32, 8, 20, 32, 48, 64, 16};
    const uint32_t block[13] = {8, 64, 64, 64, 64, 8, 8, 8, 64, 64, 128, 128, 16};
    for (uint32_t id = 0; id < 13; ++id) {
        EXPECT_EQ(hashmech_digest_size(id), digest[id]) << id;
        EXPECT_EQ(hashmech_block_size(id), block[id]) << id;
    }
    EXPECT_EQ(hashmech_digest_size(13), 0u);
    EXPECT_EQ(hashmech_block_size(0xFFFFFFFFu), 0u);
}

TEST(HashMechanism, RefusedIdsLeaveTheDigestAlone) {
    for (uint32_t id : {1u, 4u, 6u, 7u, 12u, 13u, 0xFFFFFFFFu}) {
        HashContext context;
        EXPECT_EQ(hashmech_init(id, nullptr, &context), ERR_INVALID_PARAMETER) << id;
        uint8_t digest[HASHMECH_MAX_DIGEST];
        std::memset(digest, 0xA5, sizeof digest);
        EXPECT_EQ(hashmech_hash(id, 0, reinterpret_cast<const uint8_t *>("abc"), 3, digest),
                  ERR_INVALID_PARAMETER)
            << id;
        for (uint8_t b : digest)
            ASSERT_EQ(b, 0xA5) << id;
    }
    EXPECT_GT(hashmech_digest_size(1), 0u); // sizes are reported although init refuses
}

TEST(HashMechanism, MissingBuffersAreRefused) {
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_hash(HASHMECH_SHA1, 0, nullptr, 1, digest), ERR_INVALID_PARAMETER);
    EXPECT_EQ(hashmech_hash(HASHMECH_SHA1, 0, nullptr, 0, nullptr), ERR_INVALID_PARAMETER);
    EXPECT_EQ(hashmech_hash(HASHMECH_SHA1, 0, nullptr, 0, digest), 0);
    EXPECT_EQ(hashmech_init(HASHMECH_SHA1, nullptr, nullptr), ERR_INVALID_PARAMETER);
    EXPECT_EQ(hashmech_hash_file(HASHMECH_SHA1, 0, nullptr, digest), ERR_INVALID_PARAMETER);
}

TEST(HashMechanism, UnreadableStreamIsAFileError) {
    // A stream opened for writing only: its length is known but reading it fails.
    std::string path = std::string(QXV_BINARY_DIR) + "/hashmech_writeonly.tmp";
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite("0123456789", 1, 10, f), 10u);
    ASSERT_EQ(std::fseek(f, 0, SEEK_SET), 0);
    uint8_t digest[HASHMECH_MAX_DIGEST];
    EXPECT_EQ(hashmech_hash_file(HASHMECH_SHA1, 0, f, digest), ERR_FILE_IO);
    std::fclose(f);
    std::remove(path.c_str());
}
