// DES (FIPS 46-3) on 32-bit halves with combined S-box/permutation tables.
//
// The block routine never touches one bit per byte: the initial and final
// permutations are done by bit-swap steps on two 32-bit words, and each round
// is eight lookups in SP, which folds S-box n and the permutation P into one
// table. Both halves are kept rotated left by one bit between the initial and
// final permutation, so that every 6-bit input group of the expansion E lies
// in one byte of either the half itself (boxes 2, 4, 6, 8) or the half
// rotated right by four (boxes 1, 3, 5, 7).
//
// The subkeys come from the 768-byte CDesKey layout and are packed per round
// into two matching words (DesSchedule's format); DesEncrypt/DesDecrypt pack
// as they go, DesSchedule packs once for several blocks.

#include "security/des.h"

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

// SP[n-1][g]: S-box n applied to the 6-bit group g (g's most significant bit
// is the group's first bit), its 4 output bits placed in nibble n of the
// 32-bit S-box output, sent through P and rotated left by one bit to match
// the rotated halves.
const std::uint32_t SP[8][64] = {
    {
        0x01010400, 0x00000000, 0x00010000, 0x01010404, 0x01010004, 0x00010404, 0x00000004, 0x00010000,
        0x00000400, 0x01010400, 0x01010404, 0x00000400, 0x01000404, 0x01010004, 0x01000000, 0x00000004,
        0x00000404, 0x01000400, 0x01000400, 0x00010400, 0x00010400, 0x01010000, 0x01010000, 0x01000404,
        0x00010004, 0x01000004, 0x01000004, 0x00010004, 0x00000000, 0x00000404, 0x00010404, 0x01000000,
        0x00010000, 0x01010404, 0x00000004, 0x01010000, 0x01010400, 0x01000000, 0x01000000, 0x00000400,
        0x01010004, 0x00010000, 0x00010400, 0x01000004, 0x00000400, 0x00000004, 0x01000404, 0x00010404,
        0x01010404, 0x00010004, 0x01010000, 0x01000404, 0x01000004, 0x00000404, 0x00010404, 0x01010400,
        0x00000404, 0x01000400, 0x01000400, 0x00000000, 0x00010004, 0x00010400, 0x00000000, 0x01010004,
    },
    {
        0x80108020, 0x80008000, 0x00008000, 0x00108020, 0x00100000, 0x00000020, 0x80100020, 0x80008020,
        0x80000020, 0x80108020, 0x80108000, 0x80000000, 0x80008000, 0x00100000, 0x00000020, 0x80100020,
        0x00108000, 0x00100020, 0x80008020, 0x00000000, 0x80000000, 0x00008000, 0x00108020, 0x80100000,
        0x00100020, 0x80000020, 0x00000000, 0x00108000, 0x00008020, 0x80108000, 0x80100000, 0x00008020,
        0x00000000, 0x00108020, 0x80100020, 0x00100000, 0x80008020, 0x80100000, 0x80108000, 0x00008000,
        0x80100000, 0x80008000, 0x00000020, 0x80108020, 0x00108020, 0x00000020, 0x00008000, 0x80000000,
        0x00008020, 0x80108000, 0x00100000, 0x80000020, 0x00100020, 0x80008020, 0x80000020, 0x00100020,
        0x00108000, 0x00000000, 0x80008000, 0x00008020, 0x80000000, 0x80100020, 0x80108020, 0x00108000,
    },
    {
        0x00000208, 0x08020200, 0x00000000, 0x08020008, 0x08000200, 0x00000000, 0x00020208, 0x08000200,
        0x00020008, 0x08000008, 0x08000008, 0x00020000, 0x08020208, 0x00020008, 0x08020000, 0x00000208,
        0x08000000, 0x00000008, 0x08020200, 0x00000200, 0x00020200, 0x08020000, 0x08020008, 0x00020208,
        0x08000208, 0x00020200, 0x00020000, 0x08000208, 0x00000008, 0x08020208, 0x00000200, 0x08000000,
        0x08020200, 0x08000000, 0x00020008, 0x00000208, 0x00020000, 0x08020200, 0x08000200, 0x00000000,
        0x00000200, 0x00020008, 0x08020208, 0x08000200, 0x08000008, 0x00000200, 0x00000000, 0x08020008,
        0x08000208, 0x00020000, 0x08000000, 0x08020208, 0x00000008, 0x00020208, 0x00020200, 0x08000008,
        0x08020000, 0x08000208, 0x00000208, 0x08020000, 0x00020208, 0x00000008, 0x08020008, 0x00020200,
    },
    {
        0x00802001, 0x00002081, 0x00002081, 0x00000080, 0x00802080, 0x00800081, 0x00800001, 0x00002001,
        0x00000000, 0x00802000, 0x00802000, 0x00802081, 0x00000081, 0x00000000, 0x00800080, 0x00800001,
        0x00000001, 0x00002000, 0x00800000, 0x00802001, 0x00000080, 0x00800000, 0x00002001, 0x00002080,
        0x00800081, 0x00000001, 0x00002080, 0x00800080, 0x00002000, 0x00802080, 0x00802081, 0x00000081,
        0x00800080, 0x00800001, 0x00802000, 0x00802081, 0x00000081, 0x00000000, 0x00000000, 0x00802000,
        0x00002080, 0x00800080, 0x00800081, 0x00000001, 0x00802001, 0x00002081, 0x00002081, 0x00000080,
        0x00802081, 0x00000081, 0x00000001, 0x00002000, 0x00800001, 0x00002001, 0x00802080, 0x00800081,
        0x00002001, 0x00002080, 0x00800000, 0x00802001, 0x00000080, 0x00800000, 0x00002000, 0x00802080,
    },
    {
        0x00000100, 0x02080100, 0x02080000, 0x42000100, 0x00080000, 0x00000100, 0x40000000, 0x02080000,
        0x40080100, 0x00080000, 0x02000100, 0x40080100, 0x42000100, 0x42080000, 0x00080100, 0x40000000,
        0x02000000, 0x40080000, 0x40080000, 0x00000000, 0x40000100, 0x42080100, 0x42080100, 0x02000100,
        0x42080000, 0x40000100, 0x00000000, 0x42000000, 0x02080100, 0x02000000, 0x42000000, 0x00080100,
        0x00080000, 0x42000100, 0x00000100, 0x02000000, 0x40000000, 0x02080000, 0x42000100, 0x40080100,
        0x02000100, 0x40000000, 0x42080000, 0x02080100, 0x40080100, 0x00000100, 0x02000000, 0x42080000,
        0x42080100, 0x00080100, 0x42000000, 0x42080100, 0x02080000, 0x00000000, 0x40080000, 0x42000000,
        0x00080100, 0x02000100, 0x40000100, 0x00080000, 0x00000000, 0x40080000, 0x02080100, 0x40000100,
    },
    {
        0x20000010, 0x20400000, 0x00004000, 0x20404010, 0x20400000, 0x00000010, 0x20404010, 0x00400000,
        0x20004000, 0x00404010, 0x00400000, 0x20000010, 0x00400010, 0x20004000, 0x20000000, 0x00004010,
        0x00000000, 0x00400010, 0x20004010, 0x00004000, 0x00404000, 0x20004010, 0x00000010, 0x20400010,
        0x20400010, 0x00000000, 0x00404010, 0x20404000, 0x00004010, 0x00404000, 0x20404000, 0x20000000,
        0x20004000, 0x00000010, 0x20400010, 0x00404000, 0x20404010, 0x00400000, 0x00004010, 0x20000010,
        0x00400000, 0x20004000, 0x20000000, 0x00004010, 0x20000010, 0x20404010, 0x00404000, 0x20400000,
        0x00404010, 0x20404000, 0x00000000, 0x20400010, 0x00000010, 0x00004000, 0x20400000, 0x00404010,
        0x00004000, 0x00400010, 0x20004010, 0x00000000, 0x20404000, 0x20000000, 0x00400010, 0x20004010,
    },
    {
        0x00200000, 0x04200002, 0x04000802, 0x00000000, 0x00000800, 0x04000802, 0x00200802, 0x04200800,
        0x04200802, 0x00200000, 0x00000000, 0x04000002, 0x00000002, 0x04000000, 0x04200002, 0x00000802,
        0x04000800, 0x00200802, 0x00200002, 0x04000800, 0x04000002, 0x04200000, 0x04200800, 0x00200002,
        0x04200000, 0x00000800, 0x00000802, 0x04200802, 0x00200800, 0x00000002, 0x04000000, 0x00200800,
        0x04000000, 0x00200800, 0x00200000, 0x04000802, 0x04000802, 0x04200002, 0x04200002, 0x00000002,
        0x00200002, 0x04000000, 0x04000800, 0x00200000, 0x04200800, 0x00000802, 0x00200802, 0x04200800,
        0x00000802, 0x04000002, 0x04200802, 0x04200000, 0x00200800, 0x00000000, 0x00000002, 0x04200802,
        0x00000000, 0x00200802, 0x04200000, 0x00000800, 0x04000002, 0x04000800, 0x00000800, 0x00200002,
    },
    {
        0x10001040, 0x00001000, 0x00040000, 0x10041040, 0x10000000, 0x10001040, 0x00000040, 0x10000000,
        0x00040040, 0x10040000, 0x10041040, 0x00041000, 0x10041000, 0x00041040, 0x00001000, 0x00000040,
        0x10040000, 0x10000040, 0x10001000, 0x00001040, 0x00041000, 0x00040040, 0x10040040, 0x10041000,
        0x00001040, 0x00000000, 0x00000000, 0x10040040, 0x10000040, 0x10001000, 0x00041040, 0x00040000,
        0x00041040, 0x00040000, 0x10041000, 0x00001000, 0x00000040, 0x10040040, 0x00001000, 0x00041040,
        0x10001000, 0x00000040, 0x10000040, 0x10040000, 0x10040040, 0x10000000, 0x00040000, 0x10001040,
        0x00000000, 0x10041040, 0x00040040, 0x10000040, 0x10040000, 0x10001000, 0x10001040, 0x00000000,
        0x10041040, 0x00041000, 0x00041000, 0x00001040, 0x00001040, 0x00040040, 0x10000000, 0x10041000,
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

inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    return std::uint64_t(p[0]) | (std::uint64_t(p[1]) << 8) | (std::uint64_t(p[2]) << 16) |
           (std::uint64_t(p[3]) << 24) | (std::uint64_t(p[4]) << 32) |
           (std::uint64_t(p[5]) << 40) | (std::uint64_t(p[6]) << 48) |
           (std::uint64_t(p[7]) << 56);
}

// The least significant bits of 8 one-bit-per-byte bytes as one byte, the
// first byte's bit in the most significant position. The multiply moves the
// bit of byte i to bit 63-i; no two partial products meet, so nothing carries.
inline std::uint64_t GatherBits(const std::uint8_t* p) {
    return ((LoadLe64(p) & 0x0101010101010101u) * 0x8040201008040201u) >> 56;
}

// Packs one 48-byte subkey into the two words of its round.
//   k (48 bits, subkey byte 0 most significant):
//   47     41     35     29     23     17     11     5     0
//   | g1   | g2   | g3   | g4   | g5   | g6   | g7   | g8   |
//   odd  = g1 << 24 | g3 << 16 | g5 << 8 | g7
//   even = g2 << 24 | g4 << 16 | g6 << 8 | g8
inline void PackSubkey(const std::uint8_t* sub, std::uint32_t& odd, std::uint32_t& even) {
    const std::uint64_t k = (GatherBits(sub) << 40) | (GatherBits(sub + 8) << 32) |
                            (GatherBits(sub + 16) << 24) | (GatherBits(sub + 24) << 16) |
                            (GatherBits(sub + 32) << 8) | GatherBits(sub + 40);
    odd = std::uint32_t(((k >> 18) & 0x3F000000u) | ((k >> 14) & 0x3F0000u) |
                        ((k >> 10) & 0x3F00u) | ((k >> 6) & 0x3Fu));
    even = std::uint32_t(((k >> 12) & 0x3F000000u) | ((k >> 8) & 0x3F0000u) |
                         ((k >> 4) & 0x3F00u) | (k & 0x3Fu));
}

// One round: y ^= f(x, subkey). x is the (rotated) right half; its bytes give
// the groups of boxes 8, 6, 4, 2 and, rotated right by four, of 7, 5, 3, 1.
inline void Round(std::uint32_t& y, std::uint32_t x, std::uint32_t odd, std::uint32_t even) {
    const std::uint32_t a = x ^ even;
    const std::uint32_t b = RotateLeft(x, 28) ^ odd;
    // Paired so that the eight lookups combine as a tree, not a chain.
    const std::uint32_t a01 = SP[7][a & 0x3F] ^ SP[5][(a >> 8) & 0x3F];
    const std::uint32_t a23 = SP[3][(a >> 16) & 0x3F] ^ SP[1][(a >> 24) & 0x3F];
    const std::uint32_t b01 = SP[6][b & 0x3F] ^ SP[4][(b >> 8) & 0x3F];
    const std::uint32_t b23 = SP[2][(b >> 16) & 0x3F] ^ SP[0][(b >> 24) & 0x3F];
    y ^= (a01 ^ a23) ^ (b01 ^ b23);
}

// The whole block operation. subkey(i, odd, even) yields the packed subkey
// for round i (0..15) in the order of use, so the same code serves both
// directions and both key sources.
template <typename SubkeySource>
inline void CryptBlock(const std::uint8_t in[8], std::uint8_t out[8], SubkeySource subkey) {
    std::uint32_t l = LoadBe32(in);
    std::uint32_t r = LoadBe32(in + 4);
    std::uint32_t t;

    // Initial permutation.
    t = ((l >> 4) ^ r) & 0x0F0F0F0Fu; r ^= t; l ^= t << 4;
    t = ((l >> 16) ^ r) & 0x0000FFFFu; r ^= t; l ^= t << 16;
    t = ((r >> 2) ^ l) & 0x33333333u; l ^= t; r ^= t << 2;
    t = ((r >> 8) ^ l) & 0x00FF00FFu; l ^= t; r ^= t << 8;
    r = RotateLeft(r, 1);
    t = (l ^ r) & 0xAAAAAAAAu; l ^= t; r ^= t;
    l = RotateLeft(l, 1);

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
