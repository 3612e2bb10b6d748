// DES (FIPS 46-3) on 32-bit halves with combined S-box/permutation tables.
//
// Block routine. The initial and final permutations are bit-swap steps on two
// 32-bit words; each round is eight lookups in kSp, which folds S-box n and the
// permutation P into one table. Between the two permutations each half is
// held rotated left by one bit and then bit-reversed (R's bit 2 at bit 0, bit
// 3 at bit 1, ..., bit 1 at bit 31). In that form the 6-bit input group of
// S-box n under the expansion E fills bits 2-7 of one byte, first bit lowest:
//
//   half:                 group 2 in byte 0, 4 in byte 1, 6 in byte 2, 8 in byte 3
//   half rotated left 4:  group 1 in byte 0, 3 in byte 1, 5 in byte 2, 7 in byte 3
//
// so each lookup index is a byte of (half ^ subkey word) with its two low bits
// masked off, used directly as a byte offset into a table of 4-byte entries.
//
// Key packing. The subkeys arrive one bit per byte (CDesKey). The bit order
// above was chosen so that a round's subkey words are gathered straight from
// those bytes: the low bits of 8 consecutive subkey bytes, first byte lowest,
// form one byte of a subkey word. The 8 bytes starting two bytes before group
// 2, 4, 6 or 8 put that group at bits 2-7; groups 1, 3, 5, 7 are gathered from
// their first byte and the whole word shifted left by two (group 1 starts the
// subkey, so nothing lies before it). The two spare bits of each byte pick up
// neighbouring subkey bits; the rounds mask them off. Every read stays inside
// the 48-byte subkey.
//
// desEncrypt/desDecrypt pack each subkey just before its round, where the work
// overlaps the previous round's table lookups; DesSchedule packs all sixteen
// once for several blocks.
//
// Two implementations. The portable one is the above in plain C++ (SSE2 for
// the gathers where the target has it). On x86-64 a second one, compiled for
// AVX2 and BMI2 and chosen once at run time, computes the same values with
// fewer instructions: both permutations as 8x8 bit transposes (byte masks of
// shifted copies of the block), a subkey's 48 bits in two byte masks spread
// into its two words by PEXT/PDEP, and lookup indices by BEXTR. Both give the
// same results for every key and block; the tests run each.

#include "security/des.h"

#include "frame/fields.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define SKYLARK_DES_FAST 1
#include <cpuid.h>
#include <immintrin.h>
#endif

#include <cstring>

namespace {

using skylark::getBe32;
using skylark::putBe32;

// Permuted choice 1: the 56 key bits (1-based, bit 1 = most significant bit
// of key byte 0) that become C (first 28) and D (last 28).
const std::uint8_t kPc1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4,
};

// Permuted choice 2: the bits of C||D (1-based) that form a round key.
const std::uint8_t kPc2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
    23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};

// Left rotations of C and D before each round's permuted choice 2.
const std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// kSp[n-1][g]: S-box n applied to the 6-bit group g (g's bit 0 is the group's
// first bit), its 4 output bits placed in nibble n of the 32-bit S-box output
// (box 1 most significant), sent through P, and brought into the rotated,
// bit-reversed form of the halves.
const std::uint32_t kSp[8][64] = {
    {
        0x00208080, 0x00008000, 0x20200000, 0x20208080, 0x00200000, 0x20008080, 0x20008000, 0x20200000,
        0x20008080, 0x00208080, 0x00208000, 0x20000080, 0x20200080, 0x00200000, 0x00000000, 0x20008000,
        0x00008000, 0x20000000, 0x00200080, 0x00008080, 0x20208080, 0x00208000, 0x20000080, 0x00200080,
        0x20000000, 0x00000080, 0x00008080, 0x20208000, 0x00000080, 0x20200080, 0x20208000, 0x00000000,
        0x00000000, 0x20208080, 0x00200080, 0x20008000, 0x00208080, 0x00008000, 0x20000080, 0x00200080,
        0x20208000, 0x00000080, 0x00008080, 0x20200000, 0x20008080, 0x20000000, 0x20200000, 0x00208000,
        0x20208080, 0x00008080, 0x00208000, 0x20200080, 0x00200000, 0x20000080, 0x20008000, 0x00000000,
        0x00008000, 0x00200000, 0x20200080, 0x00208080, 0x20000000, 0x20208000, 0x00000080, 0x20008080,
    },
    {
        0x04010801, 0x00000000, 0x00010800, 0x04010000, 0x04000001, 0x00000801, 0x04000800, 0x00010800,
        0x00000800, 0x04010001, 0x00000001, 0x04000800, 0x00010001, 0x04010800, 0x04010000, 0x00000001,
        0x00010000, 0x04000801, 0x04010001, 0x00000800, 0x00010801, 0x04000000, 0x00000000, 0x00010001,
        0x04000801, 0x00010801, 0x04010800, 0x04000001, 0x04000000, 0x00010000, 0x00000801, 0x04010801,
        0x00010001, 0x04010800, 0x04000800, 0x00010801, 0x04010801, 0x00010001, 0x04000001, 0x00000000,
        0x04000000, 0x00000801, 0x00010000, 0x04010001, 0x00000800, 0x04000000, 0x00010801, 0x04000801,
        0x04010800, 0x00000800, 0x00000000, 0x04000001, 0x00000001, 0x04010801, 0x00010800, 0x04010000,
        0x04010001, 0x00010000, 0x00000801, 0x04000800, 0x04000801, 0x00000001, 0x04010000, 0x00010800,
    },
    {
        0x10400000, 0x00404010, 0x00000010, 0x10400010, 0x10004000, 0x00400000, 0x10400010, 0x00004010,
        0x00400010, 0x00004000, 0x00404000, 0x10000000, 0x10404010, 0x10000010, 0x10000000, 0x10404000,
        0x00000000, 0x10004000, 0x00404010, 0x00000010, 0x10000010, 0x10404010, 0x00004000, 0x10400000,
        0x10404000, 0x00400010, 0x10004010, 0x00404000, 0x00004010, 0x00000000, 0x00400000, 0x10004010,
        0x00404010, 0x00000010, 0x10000000, 0x00004000, 0x10000010, 0x10004000, 0x00404000, 0x10400010,
        0x00000000, 0x00404010, 0x00004010, 0x10404000, 0x10004000, 0x00400000, 0x10404010, 0x10000000,
        0x10004010, 0x10400000, 0x00400000, 0x10404010, 0x00004000, 0x00400010, 0x10400010, 0x00004010,
        0x00400010, 0x00000000, 0x10404000, 0x10000010, 0x10400000, 0x10004010, 0x00000010, 0x00404000,
    },
    {
        0x80040100, 0x01000100, 0x80000000, 0x81040100, 0x00000000, 0x01040000, 0x81000100, 0x80040000,
        0x01040100, 0x81000000, 0x01000000, 0x80000100, 0x81000000, 0x80040100, 0x00040000, 0x01000000,
        0x81040000, 0x00040100, 0x00000100, 0x80000000, 0x00040100, 0x81000100, 0x01040000, 0x00000100,
        0x80000100, 0x00000000, 0x80040000, 0x01040100, 0x01000100, 0x81040000, 0x81040100, 0x00040000,
        0x81040000, 0x80000100, 0x00040000, 0x81000000, 0x00040100, 0x01000100, 0x80000000, 0x01040000,
        0x81000100, 0x00000000, 0x00000100, 0x80040000, 0x00000000, 0x81040000, 0x01040100, 0x00000100,
        0x01000000, 0x81040100, 0x80040100, 0x00040000, 0x81040100, 0x80000000, 0x01000100, 0x80040100,
        0x80040000, 0x00040100, 0x01040000, 0x81000100, 0x80000100, 0x01000000, 0x81000000, 0x01040100,
    },
    {
        0x00800000, 0x00001000, 0x00000040, 0x00801042, 0x00801002, 0x00800040, 0x00001042, 0x00801000,
        0x00001000, 0x00000002, 0x00800002, 0x00001040, 0x00800042, 0x00801002, 0x00801040, 0x00000000,
        0x00001040, 0x00800000, 0x00001002, 0x00000042, 0x00800040, 0x00001042, 0x00000000, 0x00800002,
        0x00000002, 0x00800042, 0x00801042, 0x00001002, 0x00801000, 0x00000040, 0x00000042, 0x00801040,
        0x00801040, 0x00800042, 0x00001002, 0x00801000, 0x00001000, 0x00000002, 0x00800002, 0x00800040,
        0x00800000, 0x00001040, 0x00801042, 0x00000000, 0x00001042, 0x00800000, 0x00000040, 0x00001002,
        0x00800042, 0x00000040, 0x00000000, 0x00801042, 0x00801002, 0x00801040, 0x00000042, 0x00001000,
        0x00001040, 0x00801002, 0x00800040, 0x00000042, 0x00000002, 0x00001042, 0x00801000, 0x00800002,
    },
    {
        0x08000004, 0x00020004, 0x00000000, 0x08020200, 0x00020004, 0x00000200, 0x08000204, 0x00020000,
        0x00000204, 0x08020204, 0x00020200, 0x08000000, 0x08000200, 0x08000004, 0x08020000, 0x00020204,
        0x00020000, 0x08000204, 0x08020004, 0x00000000, 0x00000200, 0x00000004, 0x08020200, 0x08020004,
        0x08020204, 0x08020000, 0x08000000, 0x00000204, 0x00000004, 0x00020200, 0x00020204, 0x08000200,
        0x00000204, 0x08000000, 0x08000200, 0x00020204, 0x08020200, 0x00020004, 0x00000000, 0x08000200,
        0x08000000, 0x00000200, 0x08020004, 0x00020000, 0x00020004, 0x08020204, 0x00020200, 0x00000004,
        0x08020204, 0x00020200, 0x00020000, 0x08000204, 0x08000004, 0x08020000, 0x00020204, 0x00000000,
        0x00000200, 0x08000004, 0x08000204, 0x08020200, 0x08020000, 0x00000204, 0x00000004, 0x08020004,
    },
    {
        0x00000400, 0x00000020, 0x00100020, 0x40100000, 0x40100420, 0x40000400, 0x00000420, 0x00000000,
        0x00100000, 0x40100020, 0x40000020, 0x00100400, 0x40000000, 0x00100420, 0x00100400, 0x40000020,
        0x40100020, 0x00000400, 0x40000400, 0x40100420, 0x00000000, 0x00100020, 0x40100000, 0x00000420,
        0x40100400, 0x40000420, 0x00100420, 0x40000000, 0x40000420, 0x40100400, 0x00000020, 0x00100000,
        0x40000420, 0x00100400, 0x40100400, 0x40000020, 0x00000400, 0x00000020, 0x00100000, 0x40100400,
        0x40100020, 0x40000420, 0x00000420, 0x00000000, 0x00000020, 0x40100000, 0x40000000, 0x00100020,
        0x00000000, 0x40100020, 0x00100020, 0x00000420, 0x40000020, 0x00000400, 0x40100420, 0x00100000,
        0x00100420, 0x40000000, 0x40000400, 0x40100420, 0x40100000, 0x00100420, 0x00100400, 0x40000400,
    },
    {
        0x02080008, 0x02082000, 0x00002008, 0x00000000, 0x02002000, 0x00080008, 0x02080000, 0x02082008,
        0x00000008, 0x02000000, 0x00082000, 0x00002008, 0x00082008, 0x02002008, 0x02000008, 0x02080000,
        0x00002000, 0x00082008, 0x00080008, 0x02002000, 0x02082008, 0x02000008, 0x00000000, 0x00082000,
        0x02000000, 0x00080000, 0x02002008, 0x02080008, 0x00080000, 0x00002000, 0x02082000, 0x00000008,
        0x00080000, 0x00002000, 0x02000008, 0x02082008, 0x00002008, 0x02000000, 0x00000000, 0x00082000,
        0x02080008, 0x02002008, 0x02002000, 0x00080008, 0x02082000, 0x00000008, 0x00080008, 0x02002000,
        0x02082008, 0x00080000, 0x02080000, 0x02000008, 0x00082000, 0x00002008, 0x02002008, 0x02080000,
        0x00000008, 0x02082000, 0x00082008, 0x00000000, 0x02000000, 0x02080008, 0x00002000, 0x00082008,
    },
};

inline std::uint32_t rotateLeft(std::uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}

// Reverses the bit order of each of the two words (bit i to bit 31-i), both
// at once as one 64-bit word.
inline void reverseBits(std::uint32_t& a, std::uint32_t& b) {
    std::uint64_t v = (std::uint64_t(a) << 32) | b;
    v = ((v >> 1) & 0x5555555555555555u) | ((v & 0x5555555555555555u) << 1);
    v = ((v >> 2) & 0x3333333333333333u) | ((v & 0x3333333333333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((v & 0x0F0F0F0F0F0F0F0Fu) << 4);
    v = __builtin_bswap64(v);
    a = std::uint32_t(v);
    b = std::uint32_t(v >> 32);
}

// The least significant bits of p[0..7] and q[0..7] as 16 bits: p[i]'s at
// bit i, q[i]'s at bit 8+i.
#if defined(__SSE2__)
inline std::uint32_t gatherBits(const std::uint8_t* p, const std::uint8_t* q) {
    const __m128i bytes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
    // Shifting 16-bit lanes left by 7 puts each byte's bit 0 in its bit 7.
    return std::uint32_t(_mm_movemask_epi8(_mm_slli_epi16(bytes, 7)));
}
#else
inline std::uint32_t gatherBits8(const std::uint8_t* p) {
    const std::uint64_t v = std::uint64_t(p[0]) | (std::uint64_t(p[1]) << 8) |
                            (std::uint64_t(p[2]) << 16) | (std::uint64_t(p[3]) << 24) |
                            (std::uint64_t(p[4]) << 32) | (std::uint64_t(p[5]) << 40) |
                            (std::uint64_t(p[6]) << 48) | (std::uint64_t(p[7]) << 56);
    // The multiply moves bit 0 of byte i to bit 56+i; no two partial
    // products meet, so nothing carries.
    return std::uint32_t(((v & 0x0101010101010101u) * 0x0102040810204080u) >> 56);
}
inline std::uint32_t gatherBits(const std::uint8_t* p, const std::uint8_t* q) {
    return gatherBits8(p) | (gatherBits8(q) << 8);
}
#endif

// Packs one 48-byte subkey (group n at bytes 6n-6..6n-1) into its round's
// two words, every group at bits 2-7 of its byte:
//   odd:  group 1 in byte 0, 3 in byte 1, 5 in byte 2, 7 in byte 3
//   even: group 2 in byte 0, 4 in byte 1, 6 in byte 2, 8 in byte 3
// Even groups are gathered from two bytes before their start; odd groups from
// their start and shifted into place, as group 1 starts the subkey.
inline void packSubkey(const std::uint8_t* sub, std::uint32_t& odd, std::uint32_t& even) {
    odd = (gatherBits(sub, sub + 12) | (gatherBits(sub + 24, sub + 36) << 16)) << 2;
    even = gatherBits(sub + 4, sub + 16) | (gatherBits(sub + 28, sub + 40) << 16);
}

// kSp[n][g] for the group g held in bits 2-7 of byteOffset: the same bits
// read as a byte offset into the table, which spares shifting them down.
inline std::uint32_t spEntry(unsigned n, std::uint32_t byteOffset) {
    return *reinterpret_cast<const std::uint32_t*>(
        reinterpret_cast<const unsigned char*>(kSp[n]) + (byteOffset & 0xFC));
}

// Keeps the compiler from merging XOR terms back into one long chain (which
// it otherwise prefers): the eight lookups then combine as a tree.
#if defined(__GNUC__)
#define SKYLARK_DES_KEEP(x) __asm__("" : "+r"(x))
#else
#define SKYLARK_DES_KEEP(x) (void)(x)
#endif

// Inlines everything a block routine calls into it: the sixteen unrolled
// rounds are past the compiler's own size limits for inlining.
#if defined(__GNUC__)
#define SKYLARK_DES_FLATTEN __attribute__((flatten))
#else
#define SKYLARK_DES_FLATTEN
#endif

// One round: y ^= f(x, subkey), halves and subkey words in the packed form.
// Ops::lookup(n, v, k) is kSp[n] at the group in bits 2-7 of byte k of v. The
// lookups on x ^ even are ready a step before those on the rotated half, so
// they are combined with y first and the others join as they arrive, which
// keeps the path from x to y short.
template <typename Ops>
inline void desRound(std::uint32_t& y, std::uint32_t x, std::uint32_t odd, std::uint32_t even) {
    const std::uint32_t a = rotateLeft(x, 4) ^ odd;
    const std::uint32_t b = x ^ even;
    std::uint32_t t0 = y ^ Ops::lookup(1, b, 0);
    std::uint32_t t1 = Ops::lookup(3, b, 1) ^ Ops::lookup(5, b, 2);
    std::uint32_t t2 = Ops::lookup(7, b, 3) ^ Ops::lookup(0, a, 0);
    std::uint32_t t3 = Ops::lookup(2, a, 1) ^ Ops::lookup(4, a, 2);
    SKYLARK_DES_KEEP(t0);
    SKYLARK_DES_KEEP(t1);
    SKYLARK_DES_KEEP(t2);
    SKYLARK_DES_KEEP(t3);
    t0 ^= t1;
    t2 ^= t3;
    SKYLARK_DES_KEEP(t0);
    SKYLARK_DES_KEEP(t2);
    t0 ^= Ops::lookup(6, a, 3);
    SKYLARK_DES_KEEP(t0);
    y = t0 ^ t2;
}

// The initial permutation, leaving both halves in the rotated, bit-reversed
// form of the rounds.
inline void initialPermutation(const std::uint8_t in[8], std::uint32_t& l, std::uint32_t& r) {
    l = getBe32(in);
    r = getBe32(in + 4);
    std::uint32_t t;
    // Initial permutation, leaving both halves rotated left by one...
    t = ((l >> 4) ^ r) & 0x0F0F0F0Fu; r ^= t; l ^= t << 4;
    t = ((l >> 16) ^ r) & 0x0000FFFFu; r ^= t; l ^= t << 16;
    t = ((r >> 2) ^ l) & 0x33333333u; l ^= t; r ^= t << 2;
    t = ((r >> 8) ^ l) & 0x00FF00FFu; l ^= t; r ^= t << 8;
    r = rotateLeft(r, 1);
    t = (l ^ r) & 0xAAAAAAAAu; l ^= t; r ^= t;
    l = rotateLeft(l, 1);
    // ...and bit-reversed.
    reverseBits(l, r);
}

// The final permutation of R16 || L16 (no swap after the last round), from
// the form of the rounds: the initial permutation's steps undone in reverse
// order.
inline void finalPermutation(std::uint32_t l, std::uint32_t r, std::uint8_t out[8]) {
    std::uint32_t t;
    reverseBits(l, r);
    r = rotateLeft(r, 31);
    t = (r ^ l) & 0xAAAAAAAAu; r ^= t; l ^= t;
    l = rotateLeft(l, 31);
    t = ((l >> 8) ^ r) & 0x00FF00FFu; r ^= t; l ^= t << 8;
    t = ((l >> 2) ^ r) & 0x33333333u; r ^= t; l ^= t << 2;
    t = ((r >> 16) ^ l) & 0x0000FFFFu; l ^= t; r ^= t << 16;
    t = ((r >> 4) ^ l) & 0x0F0F0F0Fu; l ^= t; r ^= t << 4;
    putBe32(out, r);
    putBe32(out + 4, l);
}

// The portable permutations, subkey packing and round lookup.
struct PortableOps {
    static void begin(const std::uint8_t in[8], std::uint32_t& l, std::uint32_t& r) {
        initialPermutation(in, l, r);
    }
    static void end(std::uint32_t l, std::uint32_t r, std::uint8_t out[8]) {
        finalPermutation(l, r, out);
    }
    static void pack(const std::uint8_t* sub, std::uint32_t& odd, std::uint32_t& even) {
        packSubkey(sub, odd, even);
    }
    static std::uint32_t lookup(unsigned n, std::uint32_t v, unsigned k) {
        return spEntry(n, v >> (8 * k));
    }
};

// The whole block operation. Ops supplies the two permutations; subkey(i,
// odd, even) yields the packed subkey for round i (0..15) in the order of
// use, so the same code serves both directions and both key sources.
template <typename Ops, typename SubkeySource>
inline void cryptBlock(const std::uint8_t in[8], std::uint8_t out[8], SubkeySource subkey) {
    std::uint32_t l, r;
    Ops::begin(in, l, r);

    // Sixteen rounds, two per pass so that the halves need no swapping. Each
    // round's subkey is fetched a round ahead, so that in program order its
    // packing sits beside the previous round's lookups, not in front of them.
    std::uint32_t odd0, even0, odd1, even1;
    subkey(0, odd0, even0);
#pragma GCC unroll 8
    for (unsigned i = 0; i < 16; i += 2) {
        subkey(i + 1, odd1, even1);
        desRound<Ops>(l, r, odd0, even0);
        if (i + 2 < 16) subkey(i + 2, odd0, even0);
        desRound<Ops>(r, l, odd1, even1);
    }

    Ops::end(l, r, out);
}

// One block routine per direction and key source, for a set of Ops.
template <typename Ops>
struct Paths {
    SKYLARK_DES_FLATTEN
    static void encrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
        const std::uint8_t* sub = key.subkeys();
        cryptBlock<Ops>(in, out, [sub](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
            Ops::pack(sub + CDesKey::kSubkeyBytes * i, odd, even);
        });
    }
    SKYLARK_DES_FLATTEN
    static void decrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
        const std::uint8_t* sub = key.subkeys();
        cryptBlock<Ops>(in, out, [sub](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
            Ops::pack(sub + CDesKey::kSubkeyBytes * (15 - i), odd, even);
        });
    }
    SKYLARK_DES_FLATTEN
    static void pack(const CDesKey& key, skylark::DesSchedule& s) {
        const std::uint8_t* sub = key.subkeys();
        for (std::size_t r = 0; r < CDesKey::kRounds; ++r)
            Ops::pack(sub + CDesKey::kSubkeyBytes * r, s.words[2 * r], s.words[2 * r + 1]);
    }
    SKYLARK_DES_FLATTEN
    static void scheduleEncrypt(const skylark::DesSchedule& s, const std::uint8_t in[8],
                                std::uint8_t out[8]) {
        const std::uint32_t* w = s.words;
        cryptBlock<Ops>(in, out, [w](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
            odd = w[2 * i];
            even = w[2 * i + 1];
        });
    }
    SKYLARK_DES_FLATTEN
    static void scheduleDecrypt(const skylark::DesSchedule& s, const std::uint8_t in[8],
                                std::uint8_t out[8]) {
        const std::uint32_t* w = s.words;
        cryptBlock<Ops>(in, out, [w](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
            odd = w[2 * (15 - i)];
            even = w[2 * (15 - i) + 1];
        });
    }
    static constexpr skylark::detail::DesBlockPath kPath = {encrypt, decrypt, pack,
                                                            scheduleEncrypt, scheduleDecrypt};
};

#if defined(SKYLARK_DES_FAST)
// Compiles one function for AVX2 and BMI1/2, whatever the build targets.
#define SKYLARK_DES_FAST_TARGET __attribute__((target("avx2,bmi,bmi2")))

// The permutations, subkey packing and round lookup with AVX2 and BMI1/2. Only a
// few vector registers are live at a time, so nothing vector-sized is spilled
// (64-bit Windows compilers do not align the stack for 32-byte spills).
struct FastOps {
    // The byte mask (bit 7 of every byte) of v with its 64-bit lanes shifted
    // left by s0..s3.
    SKYLARK_DES_FAST_TARGET
    static std::uint32_t shiftedMask(__m256i v, int s0, int s1, int s2, int s3) {
        return std::uint32_t(
            _mm256_movemask_epi8(_mm256_sllv_epi64(v, _mm256_setr_epi64x(s0, s1, s2, s3))));
    }

    // The initial permutation takes each byte of the output halves from one
    // bit position of all eight input bytes (an 8x8 bit transpose). With the
    // input bytes reversed (byte i = in[7-i]) and a 64-bit lane shifted left
    // by s, the byte mask of that lane collects input bit 7-s of in[7], ...,
    // in[0]: the reversed half's byte. L takes bits 6, 4, 2, 0 (in bytes 0-3),
    // R bits 7, 5, 3, 1; rotating right by one gives the rounds' form.
    SKYLARK_DES_FAST_TARGET
    static void begin(const std::uint8_t in[8], std::uint32_t& l, std::uint32_t& r) {
        const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 7, 6, 5, 4, 3, 2, 1, 0,
                                                 7, 6, 5, 4, 3, 2, 1, 0, 7, 6, 5, 4, 3, 2, 1, 0);
        std::int64_t block;
        std::memcpy(&block, in, 8);
        const __m256i q = _mm256_shuffle_epi8(_mm256_set1_epi64x(block), reverse);
        l = rotateLeft(shiftedMask(q, 1, 3, 5, 7), 31);
        r = rotateLeft(shiftedMask(q, 0, 2, 4, 6), 31);
    }

    // The final permutation is the transpose back. Rotated left by one, byte c
    // of R16 holds bit 6-2c of out[7], ..., out[0] (out[7-j] at bit j) and
    // byte c of L16 bit 7-2c. Interleaved into eight bytes, byte t holding bit
    // t of every output byte, a lane shifted left by s masks out to out[s].
    SKYLARK_DES_FAST_TARGET
    static void end(std::uint32_t l, std::uint32_t r, std::uint8_t out[8]) {
        const __m128i interleave = _mm_setr_epi8(7, 3, 6, 2, 5, 1, 4, 0, 7, 3, 6, 2, 5, 1, 4, 0);
        const std::uint64_t halves =
            std::uint64_t(rotateLeft(l, 1)) | (std::uint64_t(rotateLeft(r, 1)) << 32);
        const __m256i u = _mm256_broadcastq_epi64(
            _mm_shuffle_epi8(_mm_cvtsi64_si128(std::int64_t(halves)), interleave));
        const std::uint64_t block =
            shiftedMask(u, 0, 1, 2, 3) | (std::uint64_t(shiftedMask(u, 4, 5, 6, 7)) << 32);
        std::memcpy(out, &block, 8);
    }

    // The 48 low bits of a subkey in two byte masks, subkey bit j at bit j;
    // the odd and the even groups are extracted and spread to bits 2-7 of
    // their bytes.
    SKYLARK_DES_FAST_TARGET
    static void pack(const std::uint8_t* sub, std::uint32_t& odd, std::uint32_t& even) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub + 32));
        const std::uint64_t bits =
            std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_slli_epi16(first, 7)))) |
            (std::uint64_t(std::uint32_t(_mm_movemask_epi8(_mm_slli_epi16(last, 7)))) << 32);
        odd = _pdep_u32(std::uint32_t(_pext_u64(bits, 0x03F03F03F03Full)), 0xFCFCFCFCu);
        even = _pdep_u32(std::uint32_t(_pext_u64(bits, 0xFC0FC0FC0FC0ull)), 0xFCFCFCFCu);
    }

    // The lookup indices are extracted in one step each, 64 bits wide so that
    // they need no zero extension.
    SKYLARK_DES_FAST_TARGET
    static std::uint32_t lookup(unsigned n, std::uint64_t v, unsigned k) {
        return kSp[n][_bextr_u64(v, 8 * k + 2, 6)];
    }
};

// The fast routines, compiled for the fast path's instructions. Flattening
// inlines the shared rounds and, inside them, FastOps, which could not be
// inlined into the shared code on its own (the target options differ).
SKYLARK_DES_FLATTEN SKYLARK_DES_FAST_TARGET
void fastEncrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    Paths<FastOps>::encrypt(in, out, key);
}
SKYLARK_DES_FLATTEN SKYLARK_DES_FAST_TARGET
void fastDecrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    Paths<FastOps>::decrypt(in, out, key);
}
SKYLARK_DES_FLATTEN SKYLARK_DES_FAST_TARGET
void fastPack(const CDesKey& key, skylark::DesSchedule& s) { Paths<FastOps>::pack(key, s); }
SKYLARK_DES_FLATTEN SKYLARK_DES_FAST_TARGET
void fastScheduleEncrypt(const skylark::DesSchedule& s, const std::uint8_t in[8],
                         std::uint8_t out[8]) {
    Paths<FastOps>::scheduleEncrypt(s, in, out);
}
SKYLARK_DES_FLATTEN SKYLARK_DES_FAST_TARGET
void fastScheduleDecrypt(const skylark::DesSchedule& s, const std::uint8_t in[8],
                         std::uint8_t out[8]) {
    Paths<FastOps>::scheduleDecrypt(s, in, out);
}

const skylark::detail::DesBlockPath kFastPath = {fastEncrypt, fastDecrypt, fastPack,
                                                 fastScheduleEncrypt, fastScheduleDecrypt};

// Whether this processor has the instructions of the fast path.
bool hasFastInstructions() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
}

// AMD processors before family 19h run PEXT and PDEP in microcode, tens of
// cycles each; so does Hygon's, which derives from them.
bool pextIsSlow() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return true;
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    if (std::memcmp(vendor, "HygonGenuine", 12) == 0) return true;
    if (std::memcmp(vendor, "AuthenticAMD", 12) != 0) return false;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return true;
    unsigned family = (eax >> 8) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    return family < 0x19;
}
#endif

}  // namespace

namespace skylark::detail {

namespace {

// The chosen path, decided on first use (thread-safe as a local static);
// inlined into the public functions, which then cost one check and one
// indirect call over the routine itself.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline const DesBlockPath& chosenPath() {
#if defined(SKYLARK_DES_FAST)
    static const DesBlockPath& path =
        desFastPath() != nullptr && !pextIsSlow() ? kFastPath : desPortablePath();
    return path;
#else
    return desPortablePath();
#endif
}

}  // namespace

const DesBlockPath& desPortablePath() { return Paths<PortableOps>::kPath; }

const DesBlockPath* desFastPath() {
#if defined(SKYLARK_DES_FAST)
    static const bool available = hasFastInstructions();
    return available ? &kFastPath : nullptr;
#else
    return nullptr;
#endif
}

const DesBlockPath& desChosenPath() { return chosenPath(); }

}  // namespace skylark::detail

CDesKey::CDesKey(const std::uint8_t key[8]) {
    std::uint64_t k = 0;
    for (int i = 0; i < 8; ++i) k = (k << 8) | key[i];

    // C and D as 28-bit values, their first bit most significant.
    std::uint32_t c = 0;
    std::uint32_t d = 0;
    for (int i = 0; i < 28; ++i) {
        c = (c << 1) | std::uint32_t((k >> (64 - kPc1[i])) & 1);
        d = (d << 1) | std::uint32_t((k >> (64 - kPc1[28 + i])) & 1);
    }

    std::uint8_t* sub = bytes_;
    for (std::size_t r = 0; r < kRounds; ++r, sub += kSubkeyBytes) {
        const unsigned s = kShifts[r];
        c = ((c << s) | (c >> (28 - s))) & 0x0FFFFFFFu;
        d = ((d << s) | (d >> (28 - s))) & 0x0FFFFFFFu;
        const std::uint64_t cd = (std::uint64_t(c) << 28) | d;
        for (std::size_t j = 0; j < kSubkeyBytes; ++j)
            sub[j] = std::uint8_t((cd >> (56 - kPc2[j])) & 1);
    }
}

namespace skylark {

void desEncrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    detail::chosenPath().encrypt(in, out, key);
}

void desDecrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    detail::chosenPath().decrypt(in, out, key);
}

DesSchedule DesSchedule::from(const CDesKey& key) {
    DesSchedule s;
    detail::chosenPath().pack(key, s);
    return s;
}

void DesSchedule::encrypt(const std::uint8_t in[8], std::uint8_t out[8]) const {
    detail::chosenPath().scheduleEncrypt(*this, in, out);
}

void DesSchedule::decrypt(const std::uint8_t in[8], std::uint8_t out[8]) const {
    detail::chosenPath().scheduleDecrypt(*this, in, out);
}

}  // namespace skylark
