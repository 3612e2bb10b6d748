// DES block cipher and the CDesKey key schedule object.
#pragma once

#include <cstddef>
#include <cstdint>

// The key schedule of one DES key: sixteen 48-byte subkeys, one bit per byte.
// Subkey r (1..16) starts at byte 48*(r-1); byte j of it holds bit j+1 of the
// round key K_r in the order permuted choice 2 emits them, as 0 or 1.
// The layout is shared with ClockLink, which exports one as s_verifykey, so
// the object holds the 768 subkey bytes and nothing else.
class CDesKey {
public:
    static constexpr std::size_t kSubkeyBytes = 48;
    static constexpr std::size_t kRounds = 16;
    static constexpr std::size_t kSize = kSubkeyBytes * kRounds;

    CDesKey() = default;  // all zero: the schedule of no key; filled by a key
    // Runs the key schedule on 8 key bytes. The parity bits (the least
    // significant bit of every byte) are ignored.
    explicit CDesKey(const std::uint8_t key[8]);

    // The 768 subkey bytes, from the object's own first byte.
    const std::uint8_t* subkeys() const { return bytes_; }

private:
    std::uint8_t bytes_[kSize] = {};
};

static_assert(sizeof(CDesKey) == CDesKey::kSize, "CDesKey is exactly its 768 subkey bytes");
static_assert(alignof(CDesKey) == 1, "CDesKey has no padding or alignment of its own");

namespace skylark {

// One block, electronic codebook: out = DES(in) under key. in and out may be
// the same buffer (the input is read completely before any output byte is
// written). Each call packs the key's subkeys for the rounds itself; a caller
// with several blocks under one key packs once with DesSchedule instead.
// A subkey byte counts by its least significant bit.
void desEncrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key);
void desDecrypt(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key);

// The subkeys of one CDesKey packed into the form the table-driven rounds use:
// per round two words holding the eight 6-bit subkey groups, the odd-numbered
// S-box groups in one and the even-numbered in the other, each group in bits
// 2-7 of its own byte. Packing reads the 768 bytes once; the result
// is plain data, cheap to copy and safe to share between threads.
//
//     DesSchedule s = DesSchedule::from(key);
//     for (each block) s.decrypt(block, block);
struct DesSchedule {
    std::uint32_t words[2 * CDesKey::kRounds];  // round r: [2r-2] odd groups, [2r-1] even

    static DesSchedule from(const CDesKey& key);

    // Same results as desEncrypt / desDecrypt with the key packed here.
    void encrypt(const std::uint8_t in[8], std::uint8_t out[8]) const;
    void decrypt(const std::uint8_t in[8], std::uint8_t out[8]) const;
};

namespace detail {

// The block routines behind desEncrypt, desDecrypt and DesSchedule, as one
// set per implementation so tests can run every one this build has.
struct DesBlockPath {
    void (*encrypt)(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key);
    void (*decrypt)(const std::uint8_t in[8], std::uint8_t out[8], const CDesKey& key);
    void (*pack)(const CDesKey& key, DesSchedule& schedule);
    void (*scheduleEncrypt)(const DesSchedule& s, const std::uint8_t in[8], std::uint8_t out[8]);
    void (*scheduleDecrypt)(const DesSchedule& s, const std::uint8_t in[8], std::uint8_t out[8]);
};

// Plain C++ (SSE2 where the target has it): runs everywhere.
const DesBlockPath& desPortablePath();
// AVX2 and BMI2: null unless built for x86-64 and this processor has both.
const DesBlockPath* desFastPath();
// The one the public functions use, chosen once: the fast path where it is
// available and the processor runs PEXT/PDEP in hardware, else the portable.
const DesBlockPath& desChosenPath();

}  // namespace detail

}  // namespace skylark
