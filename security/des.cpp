// DES (FIPS 46-3) on 32-bit halves with combined S-box/permutation tables.
//
// Block routine. The initial and final permutations are bit-swap steps on two
// 32-bit words; each round is eight lookups in SP, which folds S-box n and the
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
// DesEncrypt/DesDecrypt pack each subkey just before its round, where the work
// overlaps the previous round's table lookups; DesSchedule packs all sixteen
// once for several blocks.

#include "security/des.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

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

// SP[n-1][g]: S-box n applied to the 6-bit group g (g's bit 0 is the group's
// first bit), its 4 output bits placed in nibble n of the 32-bit S-box output
// (box 1 most significant), sent through P, and brought into the rotated,
// bit-reversed form of the halves.
const std::uint32_t SP[8][64] = {
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

inline std::uint32_t RotateLeft(std::uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
           (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// Reverses the bit order of each of the two words (bit i to bit 31-i), both
// at once as one 64-bit word.
inline void ReverseBits(std::uint32_t& a, std::uint32_t& b) {
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
inline std::uint32_t GatherBits(const std::uint8_t* p, const std::uint8_t* q) {
    const __m128i bytes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
    // Shifting 16-bit lanes left by 7 puts each byte's bit 0 in its bit 7.
    return std::uint32_t(_mm_movemask_epi8(_mm_slli_epi16(bytes, 7)));
}
#else
inline std::uint32_t GatherBits8(const std::uint8_t* p) {
    const std::uint64_t v = std::uint64_t(p[0]) | (std::uint64_t(p[1]) << 8) |
                            (std::uint64_t(p[2]) << 16) | (std::uint64_t(p[3]) << 24) |
                            (std::uint64_t(p[4]) << 32) | (std::uint64_t(p[5]) << 40) |
                            (std::uint64_t(p[6]) << 48) | (std::uint64_t(p[7]) << 56);
    // The multiply moves bit 0 of byte i to bit 56+i; no two partial
    // products meet, so nothing carries.
    return std::uint32_t(((v & 0x0101010101010101u) * 0x0102040810204080u) >> 56);
}
inline std::uint32_t GatherBits(const std::uint8_t* p, const std::uint8_t* q) {
    return GatherBits8(p) | (GatherBits8(q) << 8);
}
#endif

// Packs one 48-byte subkey (group n at bytes 6n-6..6n-1) into its round's
// two words, every group at bits 2-7 of its byte:
//   odd:  group 1 in byte 0, 3 in byte 1, 5 in byte 2, 7 in byte 3
//   even: group 2 in byte 0, 4 in byte 1, 6 in byte 2, 8 in byte 3
// Even groups are gathered from two bytes before their start; odd groups from
// their start and shifted into place, as group 1 starts the subkey.
inline void PackSubkey(const std::uint8_t* sub, std::uint32_t& odd, std::uint32_t& even) {
    odd = (GatherBits(sub, sub + 12) | (GatherBits(sub + 24, sub + 36) << 16)) << 2;
    even = GatherBits(sub + 4, sub + 16) | (GatherBits(sub + 28, sub + 40) << 16);
}

// SP[n][g] for the group g held in bits 2-7 of byte_offset: the same bits
// read as a byte offset into the table, which spares shifting them down.
inline std::uint32_t Sp(unsigned n, std::uint32_t byte_offset) {
    return *reinterpret_cast<const std::uint32_t*>(
        reinterpret_cast<const unsigned char*>(SP[n]) + (byte_offset & 0xFC));
}

// Keeps the compiler from merging XOR terms back into one long chain (which
// it otherwise prefers): the eight lookups then combine as a tree.
#if defined(__GNUC__)
#define SKYLARK_DES_KEEP(x) __asm__("" : "+r"(x))
#else
#define SKYLARK_DES_KEEP(x) (void)(x)
#endif

// One round: y ^= f(x, subkey), halves and subkey words in the packed form.
inline void Round(std::uint32_t& y, std::uint32_t x, std::uint32_t odd, std::uint32_t even) {
    const std::uint32_t a = RotateLeft(x, 4) ^ odd;
    const std::uint32_t b = x ^ even;
    std::uint32_t f0 = Sp(0, a) ^ Sp(2, a >> 8);
    std::uint32_t f1 = Sp(4, a >> 16) ^ Sp(6, a >> 24);
    std::uint32_t f2 = Sp(1, b) ^ Sp(3, b >> 8);
    std::uint32_t f3 = Sp(5, b >> 16) ^ Sp(7, b >> 24);
    SKYLARK_DES_KEEP(f0);
    SKYLARK_DES_KEEP(f1);
    SKYLARK_DES_KEEP(f2);
    SKYLARK_DES_KEEP(f3);
    f0 ^= f1;
    f2 ^= f3;
    SKYLARK_DES_KEEP(f0);
    SKYLARK_DES_KEEP(f2);
    y ^= f0 ^ f2;
}

// The whole block operation. subkey(i, odd, even) yields the packed subkey
// for round i (0..15) in the order of use, so the same code serves both
// directions and both key sources.
template <typename SubkeySource>
inline void CryptBlock(const std::uint8_t in[8], std::uint8_t out[8], SubkeySource subkey) {
    std::uint32_t l = LoadBe32(in);
    std::uint32_t r = LoadBe32(in + 4);
    std::uint32_t t;

    // Initial permutation, leaving both halves rotated left by one...
    t = ((l >> 4) ^ r) & 0x0F0F0F0Fu; r ^= t; l ^= t << 4;
    t = ((l >> 16) ^ r) & 0x0000FFFFu; r ^= t; l ^= t << 16;
    t = ((r >> 2) ^ l) & 0x33333333u; l ^= t; r ^= t << 2;
    t = ((r >> 8) ^ l) & 0x00FF00FFu; l ^= t; r ^= t << 8;
    r = RotateLeft(r, 1);
    t = (l ^ r) & 0xAAAAAAAAu; l ^= t; r ^= t;
    l = RotateLeft(l, 1);
    // ...and bit-reversed.
    ReverseBits(l, r);

    // Sixteen rounds, two per pass so that the halves need no swapping.
    for (unsigned i = 0; i < 16; i += 2) {
        std::uint32_t odd, even;
        subkey(i, odd, even);
        Round(l, r, odd, even);
        subkey(i + 1, odd, even);
        Round(r, l, odd, even);
    }

    // Final permutation of R16 || L16 (no swap after the last round): the
    // initial permutation's steps undone in reverse order.
    ReverseBits(l, r);
    r = RotateLeft(r, 31);
    t = (r ^ l) & 0xAAAAAAAAu; r ^= t; l ^= t;
    l = RotateLeft(l, 31);
    t = ((l >> 8) ^ r) & 0x00FF00FFu; r ^= t; l ^= t << 8;
    t = ((l >> 2) ^ r) & 0x33333333u; r ^= t; l ^= t << 2;
    t = ((r >> 16) ^ l) & 0x0000FFFFu; l ^= t; r ^= t << 16;
    t = ((r >> 4) ^ l) & 0x0F0F0F0Fu; l ^= t; r ^= t << 4;

    StoreBe32(out, r);
    StoreBe32(out + 4, l);
}

}  // namespace

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

void DesEncrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    const std::uint8_t* sub = key.subkeys();
    CryptBlock(in, out, [sub](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
        PackSubkey(sub + CDesKey::kSubkeyBytes * i, odd, even);
    });
}

void DesDecrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key) {
    const std::uint8_t* sub = key.subkeys();
    CryptBlock(in, out, [sub](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
        PackSubkey(sub + CDesKey::kSubkeyBytes * (15 - i), odd, even);
    });
}

DesSchedule DesSchedule::from(const CDesKey& key) {
    DesSchedule s;
    const std::uint8_t* sub = key.subkeys();
    for (std::size_t r = 0; r < CDesKey::kRounds; ++r)
        PackSubkey(sub + CDesKey::kSubkeyBytes * r, s.words[2 * r], s.words[2 * r + 1]);
    return s;
}

void DesSchedule::encrypt(const std::uint8_t in[8], std::uint8_t out[8]) const {
    const std::uint32_t* w = words;
    CryptBlock(in, out, [w](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
        odd = w[2 * i];
        even = w[2 * i + 1];
    });
}

void DesSchedule::decrypt(const std::uint8_t in[8], std::uint8_t out[8]) const {
    const std::uint32_t* w = words;
    CryptBlock(in, out, [w](unsigned i, std::uint32_t& odd, std::uint32_t& even) {
        odd = w[2 * (15 - i)];
        even = w[2 * (15 - i) + 1];
    });
}

}  // namespace skylark
