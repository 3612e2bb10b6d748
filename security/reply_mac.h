// The verification code with which a clock proves a downloaded record: a DES
// CBC-MAC under the verification key (s_verifykey), zero initial block, over
// the covered reply bytes with the first eight XORed with the request's
// 4-byte challenge written twice, the last block completed with 0x26 bytes.
// The code itself follows the covered bytes in the reply.
#pragma once

#include <cstddef>
#include <cstdint>

class CDesKey;

namespace skylark {

inline constexpr std::uint8_t kReplyMacPad = 0x26;
inline constexpr std::size_t kReplyMacSize = 8;

// The code over reply[0 .. covered-1] (covered at least 8) for challenge.
void replyMac(const CDesKey& key, const std::uint8_t* reply, std::size_t covered,
              const std::uint8_t challenge[4], std::uint8_t code[kReplyMacSize]);

// Whether reply[covered .. covered+7] holds the code for challenge under the
// verification key ClockLink exports. Compared in constant time.
bool replyMacMatches(const std::uint8_t* reply, std::size_t covered,
                     const std::uint8_t challenge[4]);

}  // namespace skylark
