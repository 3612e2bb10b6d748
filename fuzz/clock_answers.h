// A test clock answering with fuzzed ClockLink results: status (weighted
// toward values with only high bits set), reply bytes, delivered length
// (weighted toward 0xFFFFFFFF and other lengths past the preset) and error
// code, for each of the next few ClockLink calls.
#pragma once

#include <algorithm>

#include "fuzz_support.h"
#include "standins/clocklink/test_clock.h"

namespace fuzz {

inline BOOL16 fuzzedStatus(Input& in) {
    switch (in.u8() % 8) {
        case 0: return 0;
        case 1: return 1;
        case 2: return static_cast<BOOL16>(0x8000);
        case 3: return static_cast<BOOL16>(0xFF00);
        case 4: return 0x0100;
        case 5: return -1;
        default: return static_cast<BOOL16>(in.u16());
    }
}

inline SK_ULONG fuzzedDelivered(Input& in, SK_ULONG offered) {
    switch (in.u8() % 6) {
        case 0: return 0xFFFFFFFFu;
        case 1: return 0x80000000u;
        case 2: return offered + 1;
        case 3: return in.u8();
        case 4: return in.u32();
        default: return offered;
    }
}

// Queues one to four answers on clock.
inline void queueAnswers(SK_ULONG clock, Input& in) {
    const int count = 1 + in.u8() % 4;
    for (int i = 0; i < count; ++i) {
        CltAnswer a;
        std::memset(&a, 0, sizeof a);
        a.status = fuzzedStatus(in);
        const std::vector<std::uint8_t> reply = in.bytes(in.u8() % 65);
        std::copy(reply.begin(), reply.end(), a.reply);
        a.replyBytes = static_cast<SK_ULONG>(reply.size());
        a.delivered = fuzzedDelivered(in, a.replyBytes);
        a.errCode = in.u8() & 1 ? 145 : in.u32();
        CLT_Queue(clock, &a);
    }
}

}  // namespace fuzz
