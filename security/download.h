// A verified download: one read whose reply ends in the verification code
// the clock computes over the rest of the reply and the request's challenge.
// The command's Verified rule is run by the frame; this supplies the fresh
// challenge and the proof the frame asks of the reply.
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

// The proof of a Verified reply of the exact length: its last bytes are the
// code over all before them for this challenge.
inline bool replyProvesChallenge(const void* challenge, const std::uint8_t* reply,
                                 std::uint32_t length) {
    return length >= kReplyMacSize &&
           replyMacMatches(reply, length - kReplyMacSize, static_cast<const std::uint8_t*>(challenge));
}

// Runs c (a Verified command) with params, which carry challenge; decodes
// the reply only when the command succeeded by its rule.
template <class Decode>
BOOL16 runVerifiedRead(SK_ULONG handle, const Command& c, Params& params,
                       const std::uint8_t challenge[kChallengeSize], Decode decode) {
    const ReplyProof proof{&replyProvesChallenge, challenge};
    return runRead(handle, c, params, decode, &proof);
}

}  // namespace skylark
