// A verified download: one read whose reply ends in the verification code
// the clock computes over the rest of the reply and the request's challenge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/frame.h"
#include "os/os.h"
#include "security/reply_mac.h"

namespace skylark {

inline constexpr std::size_t kChallengeSize = 4;

// Draws a fresh challenge. A challenge that repeated would let a recorded
// reply pass for a new record, so it comes from the system's random source
// or not at all (false: send nothing).
inline bool drawChallenge(std::uint8_t challenge[kChallengeSize]) {
    return osRandomBytes(challenge, kChallengeSize);
}

// The reply bytes the code of c covers: all but the code at its end.
constexpr std::size_t coveredBytes(const Command& c) { return c.replyLen - kReplyMacSize; }

// Runs c (exact reply length) with params, which carry challenge; decodes
// the reply only when the command succeeded and its code matches.
template <class Decode>
BOOL16 runVerifiedRead(SK_ULONG handle, const Command& c, Params& params,
                       const std::uint8_t challenge[kChallengeSize], Decode decode) {
    Reply reply;
    const Outcome out = run(handle, c, params, reply.bytes);
    // The length is judged first, so a reply of the wrong size costs no DES work.
    if (!out.ok() || !replyMacMatches(reply.bytes, coveredBytes(c), challenge)) return 0;
    ReplyReader r(reply.bytes);
    decode(r);
    return out.result;
}

}  // namespace skylark
