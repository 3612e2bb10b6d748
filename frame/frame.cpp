#include "frame/frame.h"

#include "frame/clocklink_calls.h"

namespace skylark {

namespace {

using RunFn = BOOL16 (*)(SK_ULONG, SK_ULONG, unsigned char*, SK_ULONG, unsigned char*,
                                    SK_ULONG*);

Outcome runWith(RunFn fn, SK_ULONG handle, const Command& c, Params& params,
                std::uint8_t* reply, const ReplyProof* proof) {
    // A block that is not exactly the command's length is a fault of the
    // export that built it: nothing is sent and the command fails.
    if (!blockFits(c, params)) return Outcome{0, 0};
    if (c.replyLen == 0) {
        const BOOL16 status = fn(handle, c.number, params.data(), c.paramLen, nullptr, nullptr);
        return judge(handle, c, status, 0);
    }
    SK_ULONG length = c.replyLen;  // dwOutLen: expected in, delivered out
    const BOOL16 status = fn(handle, c.number, params.data(), c.paramLen, reply, &length);
    const Outcome out = judge(handle, c, status, length);
    if (c.rule == Rule::Verified && out.ok() &&
        !(proof != nullptr && proof->matches(proof->context, reply, length)))
        return Outcome{0, out.length};
    return out;
}

}  // namespace

Outcome judge(SK_ULONG handle, const Command& c, BOOL16 status, std::uint32_t delivered) {
    const bool ran = status != 0;
    bool ok = ran;
    switch (c.rule) {
        case Rule::PassThrough:
            return Outcome{status, delivered};
        case Rule::Normalised:
        case Rule::UncheckedLength:
            break;
        case Rule::ExactLength:
        case Rule::Verified:
            ok = ran && delivered == c.replyLen;
            break;
        case Rule::MinimumLength:
            ok = ran && delivered >= c.minReply;
            break;
        case Rule::DeviceState:
            // A failed read that still delivered the state byte reports 145.
            if (!ran && link::getErrCode(handle) != kErrStateDelivered) return Outcome{0, delivered};
            ok = delivered == 1;
            break;
    }
    return Outcome{ok ? BOOL16(-1) : BOOL16(0), delivered};
}

Outcome run(SK_ULONG handle, const Command& c, Params& params, std::uint8_t* reply,
            const ReplyProof* proof) {
    return runWith(c.kind == Kind::System ? link::runSysCmd : link::runUserCmd, handle, c, params,
                   reply, proof);
}

}  // namespace skylark
