// Every export that takes text, with arbitrary texts in four forms: plain,
// ending with its NUL on the last readable byte of a page, running without
// a NUL into the page's end after enough digits for any field, and 64 KiB
// long (fuzz_support.h). A read past what the export needs faults on the
// guard page or under AddressSanitizer.
//  - The clock receives the same calls with the same parameter lengths as
//    for empty texts: no text changes the size of a block.
//  - A lookup that fails leaves its output untouched.
#include <map>

#include "skylark/skylark.h"
#include "fuzz_support.h"
#include "standins/clocklink/test_clock.h"
#include "standins/ringreader/test_reader.h"

namespace {

struct Texts {
    const char* t[3];
};

struct TextCase {
    BOOL16 (*call)(SK_ULONG handle, const Texts& t, SK_ULONG* out, double date);
};

const TextCase kCases[] = {
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SK_ConnectEx(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SK_InitDevEx(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double d) { return SKM_CreateRace(h, t.t[0], d, d, 7); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_AddRaceCard(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { 
        // The confirmation data is 8 raw bytes, not a text.
        char confirmData[8] = {};
        std::strncpy(confirmData, t.t[1], sizeof confirmData);
        return SKM_ConfirmRace(h, t.t[0], 3, confirmData);
    }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_CloseRace(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_PauseRace(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_RemoveRace(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_DeposeRaces(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG* o, double) { return SKM_GetRaceIndex(h, t.t[0], o); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_AddTrainCard(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG* o, double) { return SKM_GetCardIndex(h, t.t[0], o); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) {
        return SKM_AppendCard(h, t.t[0], 1, 2, 3, 4, 5, t.t[1]);
    }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_ModifyCard(h, t.t[0], 1, 2, 3, 4, 5); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_RemoveCard(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_SetChannelNo(h, 1, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_SET_TOUCH_TYPE(h, 2, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) {
        return SKM_SetSiteInfo(h, t.t[0], t.t[1], t.t[2]);
    }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_SetPhoneCode(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKM_SetStaffNo(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double d) { return SKS_CreateRace(h, t.t[0], d, d); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKH_CreateRace(h, t.t[0]); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double d) { return SKH_AddRaceCard(h, t.t[0], t.t[1], d); }},
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKH_ConfirmRace(h, t.t[0], 9); }},
    // The last one takes a ring reader rather than a clock.
    {[](SK_ULONG h, const Texts& t, SK_ULONG*, double) { return SKR_FormatCard(h, t.t[0], t.t[1]); }},
};
constexpr std::size_t kCaseCount = sizeof kCases / sizeof kCases[0];
constexpr std::size_t kReaderCase = kCaseCount - 1;

// The calls a clock received: (function, parameter length) in order.
std::vector<std::pair<int, SK_ULONG>> received(SK_ULONG clock) {
    std::vector<std::pair<int, SK_ULONG>> out;
    for (SK_ULONG i = 0; i < CLT_CallCount(clock); ++i) {
        CltCall call;
        CLT_GetCall(clock, i, &call);
        out.emplace_back(call.function, call.paramLen);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::GuardedPage pages[3];
    static std::map<std::size_t, std::vector<std::pair<int, SK_ULONG>>> emptyCalls;

    fuzz::Input in(data, size);
    const std::size_t which = in.u8() % kCaseCount;
    const TextCase& c = kCases[which];
    const double date = in.f64();
    std::string storage[3];
    Texts texts;
    for (int i = 0; i < 3; ++i) {
        const auto form = static_cast<fuzz::TextForm>(in.u8() % 4);
        texts.t[i] = fuzz::shapeText(pages[i], storage[i], in.text(120), form);
    }

    fuzz::Out<sizeof(SK_ULONG)> out;
    if (which == kReaderCase) {
        const SK_ULONG reader = RRT_OpenTestReader();
        RRT_InsertTag(reader, reinterpret_cast<const unsigned char*>("\x01\x02\x03\x04"));
        c.call(reader, texts, out.as<SK_ULONG>(), date);
        RRT_Close(reader);
        return 0;
    }

    if (emptyCalls.count(which) == 0) {
        const SK_ULONG clock = CLT_OpenTestClock();
        fuzz::Out<sizeof(SK_ULONG)> unused;
        c.call(clock, Texts{{"", "", ""}}, unused.as<SK_ULONG>(), 0.0);
        emptyCalls[which] = received(clock);
        CLT_Close(clock);
    }
    const SK_ULONG clock = CLT_OpenTestClock();
    const BOOL16 result = c.call(clock, texts, out.as<SK_ULONG>(), date);
    fuzz::check(received(clock) == emptyCalls[which], "same calls and block sizes as empty texts");
    CLT_Close(clock);
    if (result == 0) fuzz::check(out.untouched(), "result 0: output untouched");
    return 0;
}
