// Shared by the S and H clock tests: a date and its BCD bytes, the values
// outputs hold before a call that must not write them, and a test clock's
// answer to the record request, computed from the challenge it carries.
#pragma once

#include <cstring>
#include <string>

#include "frame/clocklink.h"
#include "security/reply_mac.h"
#include "support.h"

namespace test {

// 14 March 2010 09:05:07 and its BCD bytes.
inline constexpr double kDate = 40251.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;
inline const Bytes kDateBcd = hex("10 03 14 09 05 07");
inline constexpr double kDateTolerance = 1e-9;

// Values outputs hold before a call that must not write them.
inline constexpr double kUntouchedDate = 12345.5;
inline constexpr SK_ULONG kUntouchedCount = 0xDEADBEEF;
inline const std::string kUntouchedText = "untouched";

// The record and its arrival time, followed by the verification code over
// both for the request's challenge, as a genuine clock answers. Faults can be
// put into the answer. The object must outlive the call it answers.
struct RecordClock {
    Bytes record = hex("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
    Bytes time = kDateBcd;
    int flipBit = -1;                 // reply bit to invert after computing the code
    std::uint8_t otherChallenge = 0;  // XORed into the challenge the code answers
    SK_ULONG length = 30;             // reply bytes delivered
    BOOL16 status = 1;

    static void answer(void* context, const CltCall* call, unsigned char* reply,
                       SK_ULONG* replyBytes) {
        const auto& self = *static_cast<const RecordClock*>(context);
        std::uint8_t challenge[4];
        std::memcpy(challenge, call->params + 2, sizeof challenge);
        challenge[0] ^= self.otherChallenge;
        std::memset(reply, 0, 32);
        std::memcpy(reply, self.record.data(), 16);
        std::memcpy(reply + 16, self.time.data(), 6);
        skylark::replyMac(s_verifykey, reply, 22, challenge, reply + 22);
        if (self.flipBit >= 0)
            reply[self.flipBit / 8] ^= static_cast<std::uint8_t>(0x80 >> (self.flipBit % 8));
        *replyBytes = self.length;
    }
    Answer reply() { return Answer::status(status).hook(&RecordClock::answer, this); }
};

}  // namespace test
