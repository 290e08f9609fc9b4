// Every algorithm, mode and padding of the mechanism layer against a model built from
// single-block ECB operations of OpenSSL's libcrypto, over random messages, keys, IVs and
// splits, in the one-shot, streamed, in-place and stream-file forms.
#include "crypto/convmech.h"
#include "crypto/errors.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t PADDINGS[] = {0, 1956, 1957, 1958, 1959, 1960, 1961, 1962, 7};

uint32_t block_size_of(uint32_t algorithm) {
    return algorithm <= 2 ? 8 : 16;
}

// One direction of one block cipher, as libcrypto computes it. Single DES is DES-EDE3 with
// three equal keys (OpenSSL 3 keeps plain DES in its legacy provider).
class OracleBlock {
public:
    OracleBlock(uint32_t algorithm, const uint8_t *key, bool encrypt) {
        uint8_t k[32];
        const EVP_CIPHER *cipher = nullptr;
        switch (algorithm) {
        case 0:
            for (int i = 0; i < 3; ++i)
                std::memcpy(k + 8 * i, key, 8);
            cipher = EVP_des_ede3_ecb();
            break;
        case 1:
            std::memcpy(k, key, 16);
            cipher = EVP_des_ede_ecb();
            break;
        case 2:
            std::memcpy(k, key, 24);
            cipher = EVP_des_ede3_ecb();
            break;
        case 3:
        case 4:
            std::memcpy(k, key, 16);
            cipher = EVP_aes_128_ecb();
            break;
        case 5:
            std::memcpy(k, key, 24);
            cipher = EVP_aes_192_ecb();
            break;
        default:
            std::memcpy(k, key, 32);
            cipher = EVP_aes_256_ecb();
            break;
        }
        ctx_ = EVP_CIPHER_CTX_new();
        EXPECT_EQ(EVP_CipherInit_ex(ctx_, cipher, nullptr, k, nullptr, encrypt ? 1 : 0), 1);
        EVP_CIPHER_CTX_set_padding(ctx_, 0);
        b_ = block_size_of(algorithm);
    }
    ~OracleBlock() { EVP_CIPHER_CTX_free(ctx_); }
    OracleBlock(const OracleBlock &) = delete;
    OracleBlock &operator=(const OracleBlock &) = delete;

    void operator()(uint8_t *block) {
        int n = 0;
        uint8_t out[16];
        EXPECT_EQ(EVP_CipherUpdate(ctx_, out, &n, block, int(b_)), 1);
        EXPECT_EQ(n, int(b_));
        std::memcpy(block, out, b_);
    }

private:
    EVP_CIPHER_CTX *ctx_ = nullptr;
    uint32_t b_ = 0;
};

bool padding_known(uint32_t p) {
    return p >= 1956 && p <= 1962 && p != 1959;
}

// The model's own padding rules, from their definitions.
std::optional<Bytes> model_pad(Bytes tail, uint32_t b, uint32_t padding) {
    const uint32_t count = b - uint32_t(tail.size());
    switch (padding) {
    case 1956:
        if (tail.empty()) return Bytes{};
        tail.resize(b, 0);
        return tail;
    case 1957:
    case 1958:
        tail.resize(b - 1, 0);
        tail.push_back(uint8_t(count));
        return tail;
    case 1960:
        tail.resize(b - 1, 0xFF);
        tail.push_back(uint8_t(count));
        return tail;
    case 1961:
        tail.resize(b, uint8_t(count));
        return tail;
    case 1962:
        tail.push_back(0x80);
        tail.resize(b, 0);
        return tail;
    default:
        return std::nullopt;
    }
}

std::optional<uint32_t> model_unpad(const uint8_t *block, uint32_t b, uint32_t padding) {
    uint32_t n = b;
    switch (padding) {
    case 1956:
        while (n > 0 && block[n - 1] == 0)
            --n;
        return n;
    case 1962:
        while (n > 1 && block[n - 1] == 0)
            --n;
        return n - 1;
    default:
        if (block[b - 1] > b) return std::nullopt;
        return b - block[b - 1];
    }
}

struct Case {
    uint32_t algorithm;
    uint32_t mode;
    uint32_t padding;
    Bytes key; // 32 bytes; each algorithm takes what it needs
    Bytes iv;  // 16 bytes
    Bytes message;
};

Bytes cbc_mac(uint32_t algorithm, const uint8_t *key, const Bytes &data, Bytes r) {
    OracleBlock e(algorithm, key, true);
    const uint32_t b = block_size_of(algorithm);
    for (size_t i = 0; i < data.size(); i += b) {
        for (uint32_t j = 0; j < b; ++j)
            r[j] ^= data[i + j];
        e(r.data());
    }
    return r;
}

// What the mechanism layer must produce for a whole message, or nullopt for a refusal.
std::optional<Bytes> model(const Case &c) {
    const uint32_t b = block_size_of(c.algorithm);
    const size_t length = c.message.size();
    const size_t rest = length % b;
    const uint8_t *key = c.key.data();
    Bytes r(c.iv.begin(), c.iv.begin() + b);
    Bytes out;
    const bool pads = c.mode <= 1 || c.mode == 7 || c.mode >= 11;
    if (pads && c.padding != 0 && !padding_known(c.padding)) return std::nullopt;

    switch (c.mode) {
    case 0:
    case 11: {
        if (c.padding == 0 && rest != 0) return std::nullopt;
        Bytes data(c.message.begin(), c.message.end() - long(rest));
        if (c.padding != 0) {
            const auto last =
                model_pad(Bytes(c.message.end() - long(rest), c.message.end()), b, c.padding);
            data.insert(data.end(), last->begin(), last->end());
        }
        OracleBlock e(c.algorithm, key, true);
        for (size_t i = 0; i < data.size(); i += b) {
            uint8_t *p = data.data() + i;
            if (c.mode == 0)
                for (uint32_t j = 0; j < b; ++j)
                    p[j] ^= r[j];
            e(p);
            if (c.mode == 0) std::memcpy(r.data(), p, b);
        }
        return data;
    }
    case 1:
    case 12: {
        if (rest != 0 || (c.padding != 0 && length == 0)) return std::nullopt;
        Bytes data(c.message);
        OracleBlock d(c.algorithm, key, false);
        for (size_t i = 0; i < data.size(); i += b) {
            uint8_t *p = data.data() + i;
            Bytes saved(p, p + b);
            d(p);
            if (c.mode == 1) {
                for (uint32_t j = 0; j < b; ++j)
                    p[j] ^= r[j];
                r = saved;
            }
        }
        if (c.padding != 0) {
            const auto n = model_unpad(data.data() + data.size() - b, b, c.padding);
            if (!n) return std::nullopt;
            data.resize(data.size() - b + *n);
        }
        return data;
    }
    case 2:
    case 3:
    case 6: {
        OracleBlock e(c.algorithm, key, true);
        for (uint8_t x : c.message) {
            Bytes o(r);
            e(o.data());
            if (c.mode == 6) {
                r = o;
                out.push_back(uint8_t(x ^ o[0]));
                continue;
            }
            const uint8_t y = uint8_t(x ^ o[0]);
            r.erase(r.begin());
            r.push_back(c.mode == 2 ? y : x);
            out.push_back(y);
        }
        return out;
    }
    case 4:
    case 5: {
        OracleBlock e(c.algorithm, key, true);
        for (size_t i = 0; i < length; i += b) {
            Bytes o(r);
            e(o.data());
            const size_t n = std::min<size_t>(b, length - i);
            for (size_t j = 0; j < n; ++j) {
                const uint8_t x = c.message[i + j];
                out.push_back(uint8_t(x ^ o[j]));
                r[j] = c.mode == 4 ? uint8_t(x ^ o[j]) : x;
            }
        }
        return out;
    }
    case 7: {
        if (c.padding == 0) return std::nullopt;
        Bytes data(c.message.begin(), c.message.end() - long(rest));
        const auto last =
            model_pad(Bytes(c.message.end() - long(rest), c.message.end()), b, c.padding);
        data.insert(data.end(), last->begin(), last->end());
        return cbc_mac(c.algorithm, key, data, Bytes(b, 0));
    }
    case 8:
    case 10: {
        // ANSI X9.19 (ISO/IEC 9797-1 algorithm 3) and single-DES CBC-MAC with an output
        // transformation of one more encryption.
        if (c.algorithm != 0 || c.padding != 1956) return std::nullopt;
        Bytes data(c.message);
        if (rest != 0) data.resize(length - rest + b, 0);
        Bytes mac = cbc_mac(0, key, data, Bytes(8, 0));
        if (c.mode == 8) {
            OracleBlock d2(0, key + 8, false);
            d2(mac.data());
        }
        OracleBlock e1(0, key, true);
        e1(mac.data());
        return mac;
    }
    case 9: {
        if (c.algorithm > 1) return std::nullopt;
        Bytes data(c.message);
        data.push_back(0x80);
        while (data.size() % 8 != 0)
            data.push_back(0);
        const uint64_t bits = uint64_t(length) * 8;
        for (int i = 7; i >= 0; --i)
            data.push_back(uint8_t(bits >> (8 * i)));
        Bytes mac = cbc_mac(c.algorithm, key, data, Bytes(8, 0));
        Bytes variant(key, key + 16);
        for (auto &k : variant)
            k ^= 0xF0;
        OracleBlock e(c.algorithm, variant.data(), true);
        e(mac.data());
        return mac;
    }
    }
    return std::nullopt;
}

bool is_mac(uint32_t mode) {
    return mode >= 7 && mode <= 10;
}
bool is_stream(uint32_t mode) {
    return mode == 2 || mode == 3 || mode == 6;
}

std::optional<Bytes> one_shot(const Case &c, bool in_place) {
    Bytes buffer(c.message);
    buffer.resize(c.message.size() + 16);
    Bytes out(c.message.size() + 16);
    uint8_t *dst = in_place ? buffer.data() : out.data();
    uint32_t length = uint32_t(c.message.size());
    const int rc = convmech_buffer(c.algorithm, c.mode, c.padding, c.key.data(), c.iv.data(),
                                   buffer.data(), dst, &length);
    if (rc != 0) {
        EXPECT_EQ(rc, ERR_INVALID_PARAMETER);
        return std::nullopt;
    }
    return Bytes(dst, dst + length);
}

// init, update over random pieces of the bulk, final over the tail.
std::optional<Bytes> streamed(const Case &c, std::mt19937 &rng) {
    const uint32_t b = block_size_of(c.algorithm);
    ConvContext ctx;
    if (convmech_init(c.algorithm, c.mode, &ctx, c.key.data(), c.iv.data()) != 0)
        return std::nullopt;
    const size_t length = c.message.size();
    size_t tail = is_stream(c.mode) ? 0 : length % b;
    if ((c.mode == 1 || c.mode == 12) && c.padding != 0) {
        if (length == 0 || tail != 0) return std::nullopt;
        tail = b;
    }
    Bytes out(length + 16);
    const size_t bulk = length - tail;
    const uint32_t unit = is_stream(c.mode) ? 1 : b;
    size_t done = 0;
    while (done < bulk) {
        size_t piece = (rng() % 5) * unit; // pieces of zero units too
        piece = std::min(piece, bulk - done);
        const int rc = convmech_update(c.algorithm, c.mode, &ctx, c.message.data() + done,
                                       out.data() + done, uint32_t(piece));
        if (rc != 0) return std::nullopt;
        done += piece;
    }
    uint32_t final_length = uint32_t(tail);
    uint8_t *final_out = is_mac(c.mode) ? out.data() : out.data() + bulk;
    if (convmech_final(c.algorithm, c.mode, &ctx, c.padding, c.message.data() + bulk, final_out,
                       &final_length) != 0)
        return std::nullopt;
    for (uint8_t byte : ctx.key_schedule.bytes)
        EXPECT_EQ(byte, 0);
    if (is_mac(c.mode)) return Bytes(out.begin(), out.begin() + final_length);
    out.resize(bulk + final_length);
    return out;
}

std::optional<Bytes> through_files(const Case &c) {
    std::FILE *in = std::tmpfile();
    std::FILE *out = std::tmpfile();
    EXPECT_TRUE(in && out);
    // A few bytes before the message: the stream form starts at the current position.
    const uint8_t junk[3] = {1, 2, 3};
    std::fwrite(junk, 1, 3, in);
    if (!c.message.empty()) std::fwrite(c.message.data(), 1, c.message.size(), in);
    std::fseek(in, 3, SEEK_SET);
    const int rc =
        convmech_file(c.algorithm, c.mode, c.padding, c.key.data(), c.iv.data(), in, out);
    std::optional<Bytes> result;
    if (rc == 0) {
        const long n = std::ftell(out);
        std::rewind(out);
        Bytes data(size_t(n > 0 ? n : 0));
        EXPECT_EQ(std::fread(data.data(), 1, data.size(), out), data.size());
        result = data;
    } else {
        EXPECT_EQ(rc, ERR_INVALID_PARAMETER);
    }
    std::fclose(in);
    std::fclose(out);
    return result;
}

Case random_case(uint32_t algorithm, uint32_t mode, uint32_t padding, size_t length,
                 std::mt19937 &rng) {
    Case c{algorithm, mode, padding, Bytes(32), Bytes(16), Bytes(length)};
    for (auto &x : c.key)
        x = uint8_t(rng());
    for (auto &x : c.iv)
        x = uint8_t(rng());
    for (auto &x : c.message)
        x = uint8_t(rng());
    return c;
}

std::string describe(const Case &c) {
    return "algorithm " + std::to_string(c.algorithm) + " mode " + std::to_string(c.mode) +
           " padding " + std::to_string(c.padding) + " length " + std::to_string(c.message.size());
}

class EveryMode : public ::testing::TestWithParam<uint32_t> {};

} // namespace

TEST_P(EveryMode, AllFormsMatchTheModelForEveryAlgorithmAndPadding) {
    const uint32_t mode = GetParam();
    std::mt19937 rng(1000 + mode);
    for (uint32_t algorithm = 0; algorithm <= 6; ++algorithm) {
        for (uint32_t padding : PADDINGS) {
            const uint32_t b = block_size_of(algorithm);
            // Lengths around block edges, plus random ones up to a few kilobytes.
            std::vector<size_t> lengths = {0, 1, b - 1, b, b + 1, 2 * b, 3 * b + 5};
            for (int i = 0; i < 3; ++i)
                lengths.push_back(rng() % 5000);
            lengths.push_back((rng() % 300) * b);
            for (size_t length : lengths) {
                const Case c = random_case(algorithm, mode, padding, length, rng);
                SCOPED_TRACE(describe(c));
                const auto expected = model(c);
                const auto a = one_shot(c, false);
                ASSERT_EQ(a.has_value(), expected.has_value());
                if (!expected) continue;
                EXPECT_EQ(*a, *expected);
                EXPECT_EQ(one_shot(c, true), expected);
                EXPECT_EQ(streamed(c, rng), expected);
                const bool file_refuses = (mode == 1 || mode == 12) && padding == 0;
                EXPECT_EQ(through_files(c), file_refuses ? std::nullopt : expected);
            }
        }
    }
}

TEST_P(EveryMode, DecryptionOrInverseModeRoundTrips) {
    // Ciphertext from the model decrypts through the layer (the opposite mode) to the message.
    const uint32_t mode = GetParam();
    const uint32_t inverse[] = {1, 0, 3, 2, 5, 4, 6, 99, 99, 99, 99, 12, 11};
    if (inverse[mode] == 99) GTEST_SKIP() << "MAC mode";
    std::mt19937 rng(2000 + mode);
    for (uint32_t algorithm = 0; algorithm <= 6; ++algorithm) {
        for (uint32_t padding : {0u, 1957u, 1961u, 1962u}) {
            Case c = random_case(algorithm, mode, padding, rng() % 3000, rng);
            if (mode == 1 || mode == 12 || ((mode == 0 || mode == 11) && padding == 0))
                c.message.resize(c.message.size() / block_size_of(algorithm) *
                                 block_size_of(algorithm));
            const auto there = model(c);
            if (!there) continue;
            Case back = c;
            back.mode = inverse[mode];
            back.message = *there;
            const auto again = one_shot(back, true);
            ASSERT_TRUE(again.has_value()) << describe(c);
            if (mode == 1 || mode == 12) // decrypt-then-encrypt loses nothing without unpadding
                continue;
            EXPECT_EQ(*again, c.message) << describe(c);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::Range(0u, 13u));
