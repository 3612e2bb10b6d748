// The command frame: runs one command of the index through ClockLink and
// judges the outcome by the command's result rule. Building the parameter
// block and decoding the reply belong to the export.
#pragma once

#include <cstdint>
#include <type_traits>

#include "skylark/skylark_types.h"
#include "frame/commands.h"
#include "frame/fields.h"

namespace skylark {

// A reply buffer of one exchange (OutParams).
struct Reply {
    static constexpr std::size_t kSize = 128;
    std::uint8_t bytes[kSize] = {};
};

// What an exchange came to.
struct Outcome {
    BOOL16 result;          // the export's result by the command's rule
    std::uint32_t length;   // reply bytes ClockLink delivered (0 without a reply)
    // Whether the command succeeded by its rule, so the reply may be decoded.
    bool ok() const { return result != 0; }
};

// What a Verified command's reply must prove besides its exact length: the
// code the clock computed over the rest of the reply and the request's
// challenge. The frame knows no cipher; whoever sends such a command (the
// verified downloads) supplies the check, which reads the delivered reply.
struct ReplyProof {
    bool (*matches)(const void* context, const std::uint8_t* reply, std::uint32_t length);
    const void* context;
};

// Whether params is a block c may send: exactly c.paramLen bytes, every
// field written. The frame sends nothing else.
inline bool blockFits(const Command& c, const Params& params) {
    return !params.overflowed() && params.size() == c.paramLen;
}

// Runs c through ClockLink by its kind (IFD_RunSysCmd with class c.number,
// or IFD_RunUserCmd with number c.number) and judges it. reply receives
// c.replyLen bytes at most; it is ignored (null passed to ClockLink for both
// reply pointers) when the command expects no reply. A Verified command
// succeeds only with proof, which is asked once the length is right (so a
// reply of the wrong size costs no cipher work); without proof it fails.
Outcome run(SK_ULONG handle, const Command& c, Params& params, std::uint8_t* reply,
            const ReplyProof* proof = nullptr);

// Runs c with params and, only when it succeeded by its rule, hands decode a
// reader over the reply; decode writes the caller's outputs. decode may take
// the delivered length as a second argument, for replies of varying length.
// Returns the rule's result; on failure 0, with decode not called, so no
// output is touched. proof: for a Verified command, as for run.
template <class Decode>
BOOL16 runRead(SK_ULONG handle, const Command& c, Params& params, Decode decode,
               const ReplyProof* proof = nullptr) {
    Reply reply;
    const Outcome out = run(handle, c, params, reply.bytes, proof);
    if (!out.ok()) return 0;
    ReplyReader r(reply.bytes);
    if constexpr (std::is_invocable_v<Decode&, ReplyReader&, std::uint32_t>)
        decode(r, out.length);
    else
        decode(r);
    return out.result;
}

// Runs c and, when it succeeded, stores the big-endian number that leads
// the reply (16 or 32 bits) in *out; the reply shape of every
// count, index and number read.
template <int Bits>
BOOL16 runReadNumber(SK_ULONG handle, const Command& c, Params& params, SK_ULONG* out) {
    static_assert(Bits == 16 || Bits == 32);
    return runRead(handle, c, params, [&](ReplyReader& r) {
        *out = Bits == 16 ? r.be16() : r.be32();
    });
}

// A block that starts with the command's selector byte, if it has one.
inline Params paramsFor(const Command& c) {
    Params p;
    if (c.selector != kNoSelector) p.u8(static_cast<std::uint32_t>(c.selector));
    return p;
}

// Judges a ClockLink status (low 16 bits) and delivered length by c's rule.
// The device-state rule also asks ClockLink for the error code on handle.
// For a Verified command this is the length part; run adds the proof.
Outcome judge(SK_ULONG handle, const Command& c, BOOL16 status, std::uint32_t delivered);

}  // namespace skylark
