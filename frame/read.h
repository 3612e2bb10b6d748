// The read half of an exchange: run a command that answers, and decode its
// reply only when the command succeeded by its rule.
#pragma once

#include "frame/frame.h"

namespace skylark {

// Runs c with params; on success hands a reader over the reply to decode,
// which writes the caller's outputs, and returns the rule's result. On
// failure returns 0 and decode is not called, so no output is touched.
template <class Decode>
BOOL16 runRead(SK_ULONG handle, const Command& c, Params& params, Decode decode) {
    Reply reply;
    const Outcome out = run(handle, c, params, reply.bytes);
    if (!out.ok()) return 0;
    ReplyReader r(reply.bytes);
    decode(r);
    return out.result;
}

}  // namespace skylark
