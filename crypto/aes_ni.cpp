// AES with the AES-NI instructions. Each function that uses them carries its own target
// attribute, so the rest of the toolkit stays plain x86-64 and runs on any processor.
#include "crypto/aes_ni.h"

#include "crypto/wipe.h"

#include <cpuid.h>
#include <cstdlib>
#include <cstring>
#include <immintrin.h>

#define AES_NI_TARGET __attribute__((target("aes,sse4.1")))

namespace {

// How many blocks the parallel loops keep in flight: enough to cover the latency of the
// AES instructions on current cores; more only spills registers.
constexpr size_t LANES = 8;

uint32_t load_le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void store_le32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// SubWord of a word held with its first byte in the low bits. AESKEYGENASSIST applies the
// S-box to dword 1 of its source and returns it in dword 0.
AES_NI_TARGET uint32_t sub_word(uint32_t w) {
    __m128i x = _mm_set_epi32(0, 0, int(w), 0);
    return uint32_t(_mm_cvtsi128_si32(_mm_aeskeygenassist_si128(x, 0)));
}

inline __m128i load(const uint8_t *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
inline void store(uint8_t *p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}

template <int R> AES_NI_TARGET inline __m128i encrypt_one(const uint8_t *rk, __m128i x) {
    x = _mm_xor_si128(x, load(rk));
    for (int r = 1; r < R; ++r)
        x = _mm_aesenc_si128(x, load(rk + 16 * r));
    return _mm_aesenclast_si128(x, load(rk + 16 * R));
}

// Decryption form: round key R first, down to round key 0.
template <int R> AES_NI_TARGET inline __m128i decrypt_one(const uint8_t *rk, __m128i x) {
    x = _mm_xor_si128(x, load(rk + 16 * R));
    for (int r = R - 1; r > 0; --r)
        x = _mm_aesdec_si128(x, load(rk + 16 * r));
    return _mm_aesdeclast_si128(x, load(rk));
}

template <int R> AES_NI_TARGET inline void encrypt_lanes(const uint8_t *rk, __m128i *x) {
    __m128i k = load(rk);
    for (size_t i = 0; i < LANES; ++i)
        x[i] = _mm_xor_si128(x[i], k);
    for (int r = 1; r < R; ++r) {
        k = load(rk + 16 * r);
        for (size_t i = 0; i < LANES; ++i)
            x[i] = _mm_aesenc_si128(x[i], k);
    }
    k = load(rk + 16 * R);
    for (size_t i = 0; i < LANES; ++i)
        x[i] = _mm_aesenclast_si128(x[i], k);
}

template <int R> AES_NI_TARGET inline void decrypt_lanes(const uint8_t *rk, __m128i *x) {
    __m128i k = load(rk + 16 * R);
    for (size_t i = 0; i < LANES; ++i)
        x[i] = _mm_xor_si128(x[i], k);
    for (int r = R - 1; r > 0; --r) {
        k = load(rk + 16 * r);
        for (size_t i = 0; i < LANES; ++i)
            x[i] = _mm_aesdec_si128(x[i], k);
    }
    k = load(rk);
    for (size_t i = 0; i < LANES; ++i)
        x[i] = _mm_aesdeclast_si128(x[i], k);
}

template <int R>
AES_NI_TARGET void ecb_encrypt(const uint8_t *rk, const uint8_t *in, uint8_t *out, size_t blocks) {
    for (; blocks >= LANES; blocks -= LANES, in += 16 * LANES, out += 16 * LANES) {
        __m128i x[LANES];
        for (size_t i = 0; i < LANES; ++i)
            x[i] = load(in + 16 * i);
        encrypt_lanes<R>(rk, x);
        for (size_t i = 0; i < LANES; ++i)
            store(out + 16 * i, x[i]);
    }
    for (; blocks > 0; --blocks, in += 16, out += 16)
        store(out, encrypt_one<R>(rk, load(in)));
}

template <int R>
AES_NI_TARGET void ecb_decrypt(const uint8_t *rk, const uint8_t *in, uint8_t *out, size_t blocks) {
    for (; blocks >= LANES; blocks -= LANES, in += 16 * LANES, out += 16 * LANES) {
        __m128i x[LANES];
        for (size_t i = 0; i < LANES; ++i)
            x[i] = load(in + 16 * i);
        decrypt_lanes<R>(rk, x);
        for (size_t i = 0; i < LANES; ++i)
            store(out + 16 * i, x[i]);
    }
    for (; blocks > 0; --blocks, in += 16, out += 16)
        store(out, decrypt_one<R>(rk, load(in)));
}

// CBC encryption is a chain: each block waits for the one before. Whitening the plaintext
// with round key 0 before it joins the chain keeps one XOR off the critical path.
template <int R>
AES_NI_TARGET void cbc_encrypt(const uint8_t *rk, uint8_t *chaining, const uint8_t *in,
                               uint8_t *out, size_t blocks) {
    __m128i k[R + 1];
    for (int r = 0; r <= R; ++r)
        k[r] = load(rk + 16 * r);
    __m128i c = load(chaining);
    for (; blocks > 0; --blocks, in += 16, out += 16) {
        __m128i x = _mm_xor_si128(c, _mm_xor_si128(load(in), k[0]));
        for (int r = 1; r < R; ++r)
            x = _mm_aesenc_si128(x, k[r]);
        c = _mm_aesenclast_si128(x, k[R]);
        store(out, c);
    }
    store(chaining, c);
    for (int r = 0; r <= R; ++r)
        k[r] = _mm_setzero_si128();
    __asm__ volatile("" : : "m"(k) : "memory");
}

// CBC decryption has no chain: LANES blocks are deciphered at once. All ciphertext blocks of
// a group are loaded before any output is stored, so the buffers may be the same.
template <int R>
AES_NI_TARGET void cbc_decrypt(const uint8_t *rk, uint8_t *chaining, const uint8_t *in,
                               uint8_t *out, size_t blocks) {
    __m128i prev = load(chaining);
    for (; blocks >= LANES; blocks -= LANES, in += 16 * LANES, out += 16 * LANES) {
        __m128i c[LANES], x[LANES];
        for (size_t i = 0; i < LANES; ++i)
            x[i] = c[i] = load(in + 16 * i);
        decrypt_lanes<R>(rk, x);
        store(out, _mm_xor_si128(x[0], prev));
        for (size_t i = 1; i < LANES; ++i)
            store(out + 16 * i, _mm_xor_si128(x[i], c[i - 1]));
        prev = c[LANES - 1];
    }
    for (; blocks > 0; --blocks, in += 16, out += 16) {
        __m128i c = load(in);
        store(out, _mm_xor_si128(decrypt_one<R>(rk, c), prev));
        prev = c;
    }
    store(chaining, prev);
}

// Picks the instantiation for the round count (10, 12 or 14; anything else does nothing:
// the schedule builders never produce it).
#define AES_NI_DISPATCH(fn, rounds, ...)                                                           \
    switch (rounds) {                                                                              \
    case 10:                                                                                       \
        fn<10>(__VA_ARGS__);                                                                       \
        break;                                                                                     \
    case 12:                                                                                       \
        fn<12>(__VA_ARGS__);                                                                       \
        break;                                                                                     \
    case 14:                                                                                       \
        fn<14>(__VA_ARGS__);                                                                       \
        break;                                                                                     \
    default:                                                                                       \
        break;                                                                                     \
    }

} // namespace

bool aes_ni_supported() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    return (c & bit_AES) && (c & bit_SSE4_1);
}

bool aes_ni_selected() {
    static const bool selected = [] {
        const char *portable = std::getenv("QXV_AES_PORTABLE");
        if (portable && std::strcmp(portable, "1") == 0) return false;
        return aes_ni_supported();
    }();
    return selected;
}

uint32_t aes_ni_rounds(uint32_t key_length) {
    switch (key_length) {
    case 16:
        return 10;
    case 24:
        return 12;
    case 32:
        return 14;
    default:
        return 0;
    }
}

// The FIPS-197 key expansion one word at a time, which serves all three key sizes alike;
// it runs once per context, so its speed does not matter.
AES_NI_TARGET void aes_ni_schedule_encrypt(const uint8_t *key, uint32_t key_length,
                                           uint8_t *round_keys) {
    const uint32_t nk = key_length / 4;
    const uint32_t rounds = aes_ni_rounds(key_length);
    if (rounds == 0) return;
    const uint32_t total = 4 * (rounds + 1);
    uint32_t w[60];
    for (uint32_t i = 0; i < nk; ++i)
        w[i] = load_le32(key + 4 * i);
    uint32_t rcon = 1;
    for (uint32_t i = nk; i < total; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = sub_word((temp >> 8) | (temp << 24)) ^ rcon;
            rcon = (rcon << 1) ^ ((rcon >> 7) * 0x11b);
        } else if (nk == 8 && i % nk == 4) {
            temp = sub_word(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    for (uint32_t i = 0; i < total; ++i)
        store_le32(round_keys + 4 * i, w[i]);
    wipe_memory(w, sizeof w);
}

AES_NI_TARGET void aes_ni_schedule_invert(uint8_t *round_keys, uint32_t rounds) {
    for (uint32_t r = 1; r < rounds; ++r)
        store(round_keys + 16 * r, _mm_aesimc_si128(load(round_keys + 16 * r)));
}

void aes_ni_schedule_decrypt(const uint8_t *key, uint32_t key_length, uint8_t *round_keys) {
    aes_ni_schedule_encrypt(key, key_length, round_keys);
    aes_ni_schedule_invert(round_keys, aes_ni_rounds(key_length));
}

void aes_ni_ecb_encrypt(const uint8_t *round_keys, uint32_t rounds, const uint8_t *in, uint8_t *out,
                        size_t blocks) {
    AES_NI_DISPATCH(ecb_encrypt, rounds, round_keys, in, out, blocks)
}

void aes_ni_ecb_decrypt(const uint8_t *round_keys, uint32_t rounds, const uint8_t *in, uint8_t *out,
                        size_t blocks) {
    AES_NI_DISPATCH(ecb_decrypt, rounds, round_keys, in, out, blocks)
}

void aes_ni_cbc_encrypt(const uint8_t *round_keys, uint32_t rounds, uint8_t chaining[16],
                        const uint8_t *in, uint8_t *out, size_t blocks) {
    AES_NI_DISPATCH(cbc_encrypt, rounds, round_keys, chaining, in, out, blocks)
}

void aes_ni_cbc_decrypt(const uint8_t *round_keys, uint32_t rounds, uint8_t chaining[16],
                        const uint8_t *in, uint8_t *out, size_t blocks) {
    AES_NI_DISPATCH(cbc_decrypt, rounds, round_keys, chaining, in, out, blocks)
}
