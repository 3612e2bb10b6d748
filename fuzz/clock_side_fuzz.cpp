// The virtual clocks' side: hostile parameter blocks, preset reply lengths
// and fault settings on authenticated M, S and H clocks holding races,
// cards and arrivals, sent straight through ClockLink.
//  - Never a byte written at or past the preset reply length (nor past the
//    buffer when the preset is larger); the delivered length never above
//    the preset, 0 without a reply buffer.
//  - A refusal always carries a documented code (CLV_ErrorText knows it) or
//    the code a fault was armed with; CLV_ functions answer CLV_OK or a
//    documented code.
//  - Whatever was sent, the clock still answers its device information.
#include <set>

#include "frame/clocklink.h"
#include "fuzz_support.h"
#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

// 16 May 2026 06:00, the clock's frozen present; the race day's times.
constexpr double kDay = 46158.25;
double at(int minutes) { return kDay + minutes / 1440.0; }

bool documented(long code) {
    static const std::string unknown = CLV_ErrorText(-1);
    return code != CLV_OK && unknown != CLV_ErrorText(static_cast<int>(code));
}

// A clock with something in every table the commands reach.
SK_ULONG stockedClock(int kind) {
    const SK_ULONG h = CLV_Open(kind);
    CLV_FreezeClock(h, 1);
    CLV_SetClockTime(h, kDay);
    fuzz::check(SK_Connect(h) != 0, "authentication");
    const char* rings[] = {"2026A0000001", "2026A0000002"};
    if (kind == CLV_KIND_M) {
        SK_ULONG number = 0;
        SKM_AppendCard(h, rings[0], 1, 2, 3, 4, 5, "00112233445566778899AABB");
        SKM_CreateRace(h, "5241434532303236", at(60), at(600), 7);
        for (const char* r : rings) SKM_AddRaceCard(h, r);
        SKM_ConfirmRace(h, "5241434532303236", 2, "CONFIRM1");
        CLV_RecordArrival(h, 0, rings[0], at(120));
        SKM_CreateTrain(h, at(60), at(600), 1, &number);
        SKM_AddTrainCard(h, rings[1]);
        SKM_ConfirmTrain(h, number, 1);
        CLV_RecordTrainArrival(h, 0, rings[1], at(90));
    } else if (kind == CLV_KIND_S) {
        SKS_CreateRace(h, "5241434532303236", at(60), at(600));
        CLV_RecordArrival(h, 0, rings[0], at(120));
    } else {
        SKH_CreateRace(h, "5241434532303236");
        for (const char* r : rings) SKH_AddRaceCard(h, r, "C0DEC0DEC0DEC0DE", at(30));
        SKH_ConfirmRace(h, "5241434532303236", 2);
        CLV_RecordArrival(h, 0, rings[0], at(120));
    }
    return h;
}

const CLV_ULONG kCalls[] = {CLV_ON_ANY, CLV_ON_SYSTEM, CLV_ON_SYSTEM | 0x17, CLV_ON_SYSTEM | 3 << 8,
                            CLV_ON_USER | 7, CLV_ON_USER | 6, CLV_ON_GET_RND,
                            CLV_ON_GET_COMM_KEY_RND, CLV_ON_SET_COMM_KEY, CLV_ON_IS_COMM_KEY_VALID};

void exchange(SK_ULONG h, fuzz::Input& in, const std::set<long>& armed) {
    const std::uint8_t how = in.u8();
    const bool user = (how & 1) != 0;
    const std::uint8_t pick = in.u8();
    const SK_ULONG number = (pick & 0x80) ? in.u32() : user ? pick % 16u : pick % 7u;
    std::vector<unsigned char> params = in.bytes(in.u8() % 40);
    // Class 0 and 1 mostly with a code the clocks know.
    if (!user && number <= 1 && !params.empty() && (pick & 0x40)) params[0] = 0x10 + in.u8() % 0x19;
    unsigned char* p = params.empty() || (how & 2) ? nullptr : params.data();
    const SK_ULONG paramLen = (how & 2) ? in.u8() : static_cast<SK_ULONG>(params.size());

    constexpr std::size_t kCap = 64;
    fuzz::Out<kCap> reply;
    SK_ULONG preset = 0;
    switch ((how >> 2) % 4) {
        case 0: preset = in.u8() % 48; break;
        case 1: preset = in.u32() | 0x80000000u; break;  // larger than any buffer
        default: preset = in.u8() % (kCap + 1); break;
    }
    const bool noReply = (how & 0x10) != 0, noLength = (how & 0x20) != 0;
    SK_ULONG len = preset;
    fuzz::context = std::string(user ? "user " : "class ") + std::to_string(number) + " preset " +
                    std::to_string(preset);
    unsigned char* out = noReply ? nullptr : reply.bytes;
    SK_ULONG* lenp = noLength ? nullptr : &len;
    const BOOL16 status = user ? IFD_RunUserCmd(h, number, p, paramLen, out, lenp)
                               : IFD_RunSysCmd(h, number, p, paramLen, out, lenp);
    const std::size_t limit = preset < kCap ? preset : kCap;
    fuzz::check(reply.untouchedFrom(noReply || noLength ? 0 : limit), "a byte written past the preset length");
    if (!noLength) {
        fuzz::check(len <= preset, "delivered length above the preset");
        if (noReply) fuzz::check(len == 0, "a length delivered without a reply buffer");
    }
    if (status == 0) {
        const long code = static_cast<long>(IFD_GetErrCode(h));
        fuzz::check(documented(code) || armed.count(code) != 0, "a refusal without a documented code");
    }
}

void clockCall(SK_ULONG h, fuzz::Input& in, std::set<long>& armed) {
    int r = CLV_OK;
    const std::uint8_t what = in.u8();
    switch (what % 6) {
        case 0: {
            int mode = in.u8() % 9;
            CLV_ULONG value = in.u32();
            if (mode == CLV_FAULT_DELAY || mode == CLV_FAULT_SLOW) value %= 3;  // keep the run fast
            if (mode == CLV_FAULT_FAIL && (what & 0x80)) value = 129 + in.u8() % 40;
            r = CLV_SetFault(h, mode, value);
            if (r == CLV_OK && mode == CLV_FAULT_FAIL) armed.insert(static_cast<long>(value));
            if (mode == CLV_FAULT_FAIL && value == 0) fuzz::check(r == CLV_ERR_BAD_ARGUMENT, "a failure armed without a code");
            break;
        }
        case 1: {
            const CLV_ULONG call = (what & 0x80) ? in.u32() : kCalls[in.u8() % (sizeof kCalls / sizeof kCalls[0])];
            const CLV_ULONG code = in.u8() == 0 ? 0 : 129 + in.u8() % 40;
            r = CLV_SetFailure(h, call, in.u8() % 4, in.u8() % 4, code);
            if (r == CLV_OK) armed.insert(static_cast<long>(code));
            if (code == 0) fuzz::check(r == CLV_ERR_BAD_ARGUMENT, "a failure rule without a code");
            break;
        }
        case 2: {
            const std::string ring = in.text(14);
            r = CLV_RecordArrival(h, in.u8() % 3, ring.c_str(), in.f64());
            break;
        }
        case 3: {
            fuzz::Out<97> text;
            const unsigned char vKey[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            r = CLV_GetStoredRecord(h, in.u8() % 3, in.u8() % 3, vKey, text.text());
            fuzz::check(r == CLV_OK ? text.isHex(96) : text.untouched(), "stored record text");
            break;
        }
        case 4: {
            unsigned char type = 0;
            double when = 0;
            fuzz::Out<51> data;
            r = CLV_GetLogEntry(h, in.u32() % 40, &type, &when, data.text());
            fuzz::check(r == CLV_OK || data.untouched(), "log entry text on failure");
            break;
        }
        default: r = CLV_SetClockTime(h, in.f64()); break;
    }
    fuzz::check(r == CLV_OK || documented(r), "a CLV_ result that is not a documented code");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const int kind = CLV_KIND_M + in.u8() % 3;
    const SK_ULONG h = stockedClock(kind);
    std::set<long> armed;
    for (int step = 0; step < 48 && !in.empty(); ++step) {
        if (in.u8() % 5 == 0) clockCall(h, in, armed);
        else exchange(h, in, armed);
    }
    // The clock still answers.
    CLV_SetFault(h, CLV_FAULT_CLEAR, 0);
    unsigned char code = 0x01, info[16];
    SK_ULONG len = sizeof info;
    fuzz::context = "device information after the run";
    fuzz::check(IFD_RunSysCmd(h, 0, &code, 1, info, &len) != 0 && len == 16, "the clock stopped answering");
    CLV_Close(h);
    return 0;
}
