#include "common/sha256.h"

#include <cstring>

#if (defined(__i386__) || defined(__x86_64__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define VN_SHA_X86 1
#endif

alignas(16) static const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01,
    0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc,
    0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08,
    0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

static inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

static inline uint32_t LoadBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// One round with the letters' roles passed in, so no variable moves between rounds; the schedule
// lives in a ring of 16 words.
#define VN_SHA_ROUND(a, b, c, d, e, f, g, h, wi, k)                                                    \
    do {                                                                                               \
        uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + (g ^ (e & (f ^ g))) + (k) + (wi); \
        d += t1;                                                                                       \
        h = t1 + (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) | (c & (a | b)));                 \
    } while (0)
#define VN_SHA_NEXT(i)                                                                                                  \
    (w[(i)&15] += (Rotr(w[((i)-2) & 15], 17) ^ Rotr(w[((i)-2) & 15], 19) ^ (w[((i)-2) & 15] >> 10)) + w[((i)-7) & 15] + \
                  (Rotr(w[((i)-15) & 15], 7) ^ Rotr(w[((i)-15) & 15], 18) ^ (w[((i)-15) & 15] >> 3)))
#define VN_SHA_EIGHT(W, i)                                         \
    VN_SHA_ROUND(a, b, c, d, e, f, g, h, W(i), kRound[i]);         \
    VN_SHA_ROUND(h, a, b, c, d, e, f, g, W(i + 1), kRound[i + 1]); \
    VN_SHA_ROUND(g, h, a, b, c, d, e, f, W(i + 2), kRound[i + 2]); \
    VN_SHA_ROUND(f, g, h, a, b, c, d, e, W(i + 3), kRound[i + 3]); \
    VN_SHA_ROUND(e, f, g, h, a, b, c, d, W(i + 4), kRound[i + 4]); \
    VN_SHA_ROUND(d, e, f, g, h, a, b, c, W(i + 5), kRound[i + 5]); \
    VN_SHA_ROUND(c, d, e, f, g, h, a, b, W(i + 6), kRound[i + 6]); \
    VN_SHA_ROUND(b, c, d, e, f, g, h, a, W(i + 7), kRound[i + 7])
#define VN_SHA_FIRST(i) w[i]

static void HashBlocksPortable(uint32_t* state, const uint8_t* p, size_t blocks) {
    for (; blocks > 0; --blocks, p += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = LoadBe32(p + 4 * i);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        VN_SHA_EIGHT(VN_SHA_FIRST, 0);
        VN_SHA_EIGHT(VN_SHA_FIRST, 8);
#pragma GCC unroll 6
        for (int i = 16; i < 64; i += 8) {
            VN_SHA_EIGHT(VN_SHA_NEXT, i);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef VN_SHA_X86
// The processor's SHA extensions: two rounds an instruction. The state is kept as ABEF and CDGH.
// A 32-bit caller's stack may be aligned to 4 bytes only: the function aligns its own.
#ifdef __i386__
#define VN_SHA_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define VN_SHA_ALIGN_STACK
#endif
__attribute__((target("sha,sse4.1,ssse3"))) VN_SHA_ALIGN_STACK static void HashBlocksNi(uint32_t* state, const uint8_t* p,
                                                                                        size_t blocks) {
    const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
    __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(t, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, t, 0xF0);
    for (; blocks > 0; --blocks, p += 64) {
        const __m128i abefSaved = abef, cdghSaved = cdgh;
        __m128i m[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i& cur = m[i & 3];
            if (i < 4) {
                cur = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), swap);
            } else {
                __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(cur, m[(i + 1) & 3]),
                                            _mm_alignr_epi8(m[(i + 3) & 3], m[(i + 2) & 3], 4));
                cur = _mm_sha256msg2_epu32(sum, m[(i + 3) & 3]);
            }
            __m128i k = _mm_add_epi32(cur, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    t = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(t, cdgh, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(cdgh, t, 8));
}

static bool HasShaInstructions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}
#endif

typedef void (*HashBlocksFn)(uint32_t* state, const uint8_t* p, size_t blocks);
static HashBlocksFn s_hashBlocks;

void UseSha256Instructions(bool on) {
    s_hashBlocks = HashBlocksPortable;
#ifdef VN_SHA_X86
    if (on && HasShaInstructions()) s_hashBlocks = HashBlocksNi;
#endif
}

void InitSha256(Sha256* sha) {
    static const uint32_t kStart[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    if (!s_hashBlocks) UseSha256Instructions(true);
    memcpy(sha->state, kStart, sizeof kStart);
    sha->length = 0;
    sha->used = 0;
}

void UpdateSha256(Sha256* sha, const void* bytes, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    sha->length += n;
    if (sha->used > 0) {
        size_t take = 64 - sha->used < n ? 64 - sha->used : n;
        memcpy(sha->block + sha->used, p, take);
        sha->used += take;
        p += take;
        n -= take;
        if (sha->used < 64) return;
        s_hashBlocks(sha->state, sha->block, 1);
        sha->used = 0;
    }
    s_hashBlocks(sha->state, p, n / 64);
    p += n / 64 * 64;
    n %= 64;
    memcpy(sha->block, p, n);
    sha->used = n;
}

void FinishSha256(Sha256* sha, uint8_t* out) {
    uint64_t bits = sha->length * 8;
    uint8_t pad[72] = {0x80};
    size_t padBytes = (sha->used < 56 ? 56 : 120) - sha->used;
    for (int i = 0; i < 8; ++i) pad[padBytes + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    UpdateSha256(sha, pad, padBytes + 8);
    for (int i = 0; i < 8; ++i) {
        for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<uint8_t>(sha->state[i] >> (24 - 8 * k));
    }
}
