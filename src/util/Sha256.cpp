#include "util/Sha256.h"

#include <cpuid.h>
#include <immintrin.h>
#include <wincrypt.h>

namespace {

const uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The SHA extensions, and the SSSE3 and SSE4.1 shuffles and blends that go with them.
bool ProcessorHasShaInstructions() {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_SSSE3) == 0 || (c & bit_SSE4_1) == 0) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA) != 0;
}

// The compression of whole 64-byte blocks with the SHA instructions. The state is kept as the
// instructions want it, in the halves ABEF and CDGH. Four rounds a step: the message words of a
// step come from the data in the first four steps, and from the three steps before it after that.
// A thread's stack is only 4-byte aligned on 32-bit Windows: the function aligns its own.
__attribute__((target("sha,sse4.1,ssse3"), force_align_arg_pointer)) void CompressWithInstructions(uint32_t state[8],
                                                                                                   const BYTE* data,
                                                                                                   size_t blocks) {
    const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i words[4];
        for (int step = 0; step < 16; ++step) {
            __m128i& current = words[step % 4];
            if (step < 4)
                current =
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * step)), byteOrder);
            __m128i rounds =
                _mm_add_epi32(current, _mm_load_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * step])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, rounds);
            if (step >= 3 && step <= 14) {
                __m128i& next = words[(step + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, words[(step + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(rounds, 0x0E));
            if (step >= 1 && step <= 12) {
                __m128i& previous = words[(step + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace

Sha256::Sha256(bool useInstructions)
    : allowInstructions_(useInstructions),
      instructions_(false),
      provider_(0),
      hash_(0),
      pendingBytes_(0),
      totalBytes_(0) {
    CopyMemory(state_, kInitialState, sizeof state_);
}

Sha256::~Sha256() {
    if (hash_ != 0) CryptDestroyHash(hash_);
    if (provider_ != 0) CryptReleaseContext(provider_, 0);
}

bool Sha256::Start() {
    instructions_ = allowInstructions_ && ProcessorHasShaInstructions();
    if (instructions_) return true;
    // The AES provider is the one that knows SHA-256 on every Windows since XP SP3.
    return CryptAcquireContextA(&provider_, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
           CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_);
}

void Sha256::AddBlocks(const BYTE* bytes, size_t blocks) {
    CompressWithInstructions(state_, bytes, blocks);
}

bool Sha256::Add(const BYTE* bytes, DWORD count) {
    if (!instructions_) return CryptHashData(hash_, bytes, count, 0) != FALSE;
    totalBytes_ += count;
    if (pendingBytes_ > 0) {
        DWORD taken = count < 64 - pendingBytes_ ? count : 64 - pendingBytes_;
        CopyMemory(pending_ + pendingBytes_, bytes, taken);
        pendingBytes_ += taken;
        bytes += taken;
        count -= taken;
        if (pendingBytes_ < 64) return true;
        AddBlocks(pending_, 1);
        pendingBytes_ = 0;
    }
    AddBlocks(bytes, count / 64);
    pendingBytes_ = count % 64;
    CopyMemory(pending_, bytes + (count - pendingBytes_), pendingBytes_);
    return true;
}

bool Sha256::Finish(BYTE digest[kDigestBytes]) {
    if (!instructions_) {
        DWORD length = kDigestBytes;
        return CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) && length == kDigestBytes;
    }
    // The padding: one bit, zeros, and the message's length in bits, to a whole block.
    uint64_t bits = totalBytes_ * 8;
    BYTE padding[128] = {0x80};
    DWORD paddingBytes = (pendingBytes_ < 56 ? 56 : 120) - pendingBytes_;
    for (int i = 0; i < 8; ++i)
        padding[paddingBytes + i] = static_cast<BYTE>(bits >> (56 - 8 * i));
    Add(padding, paddingBytes + 8);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<BYTE>(state_[i] >> (24 - 8 * j));
    return true;
}
