// Channel authentication: the system identifier, the verification block that
// proves knowledge of the verification key, the authentication block of the
// class-3 command, and the comm key installed in ClockLink.
#pragma once

#include <cstddef>
#include <cstdint>

#include "skylark/skylark_types.h"

class CDesKey;

namespace skylark {

inline constexpr std::size_t kRandomSize = 4;       // a device random R or comm-key random T
inline constexpr std::size_t kVerifyBlockSize = 8;  // a verification block
inline constexpr std::size_t kAuthBlockSize = 12;   // T in clear, then the verification block

// base with a password folded in: for i = 0..7, while the password has a
// character i, out[i] = base[i] ^ character i; later bytes keep base. A null
// password is an empty one; characters after the eighth are ignored.
void foldPassword(const std::uint8_t base[8], const char* password, std::uint8_t out[8]);

// The system identifier: the pad with the password folded in.
void systemIdentifier(const char* password, std::uint8_t id[8]);

// The clear verification block: out[i] = data[i] ^ rnd[i % 4] ^ mask[i].
void verificationBlock(const std::uint8_t data[8], const std::uint8_t rnd[kRandomSize],
                       const std::uint8_t mask[8], std::uint8_t out[kVerifyBlockSize]);

// The authentication block for comm-key random t, device random r and system
// identifier id, its verification block encrypted under key.
//   0        4                          12
//   | T0..T3 | E(T,0000 ^ R,R ^ id)     |
void authenticationBlock(const CDesKey& key, const std::uint8_t t[kRandomSize],
                         const std::uint8_t r[kRandomSize], const std::uint8_t id[8],
                         std::uint8_t out[kAuthBlockSize]);

// The random half of a comm key from a seed of the generator: four numbers
// Q0..Q3 of x = x*214013 + 2531011, (x >> 16) & 0x7FFF, low 8 bits kept, Q0
// made odd; the random is Q0 Q1 Q2 Q3 Q0 Q1 Q2 Q3.
void commKeyRandom(std::uint32_t seed, std::uint8_t rnd[8]);

// Installs the comm key (the comm key constant and the random of seed) in
// ClockLink; returns IFD_SetCommKey's status unchanged.
BOOL16 createCommKeySeeded(SK_ULONG handle, std::uint32_t seed);

// createCommKeySeeded with the current calendar time in seconds.
BOOL16 createCommKey(SK_ULONG handle);

// Authenticates the channel with an optional password (pass-through; 0 when
// installing a comm key or fetching the device random fails).
BOOL16 connectEx(SK_ULONG handle, const char* password);

}  // namespace skylark
