#include "security/reply_mac.h"

#include "frame/clocklink.h"
#include "security/constant_time.h"
#include "security/des.h"

namespace skylark {

void replyMac(const CDesKey& key, const std::uint8_t* reply, std::size_t covered,
              const std::uint8_t challenge[4], std::uint8_t code[kReplyMacSize]) {
    std::uint8_t block[kReplyMacSize] = {};
    for (std::size_t start = 0; start < covered; start += kReplyMacSize) {
        for (std::size_t i = 0; i < kReplyMacSize; ++i) {
            const std::size_t at = start + i;
            std::uint8_t b = at < covered ? reply[at] : kReplyMacPad;
            if (at < 8) b ^= challenge[at % 4];
            block[i] ^= b;
        }
        desEncrypt(block, block, key);
    }
    for (std::size_t i = 0; i < kReplyMacSize; ++i) code[i] = block[i];
}

bool replyMacMatches(const std::uint8_t* reply, std::size_t covered,
                     const std::uint8_t challenge[4]) {
    std::uint8_t code[kReplyMacSize];
    replyMac(s_verifykey, reply, covered, challenge, code);
    return equalConstantTime(code, reply + covered, kReplyMacSize);
}

}  // namespace skylark
