// Every export that reads from a clock, answered by fuzzed ClockLink
// results (clock_answers.h).
//  - Result 0: every output untouched (but those ClockLink itself writes:
//    SK_GetDevState's byte, SKM_GetStaffNo's buffer, and SKH_GetRaceInfo's
//    race key once its first command succeeded).
//  - Non-zero: hex outputs upper case, NUL at their stated length, nothing
//    written beyond; other texts NUL-terminated within their size.
#include "skylark/skylark.h"
#include "clock_answers.h"

namespace {

using Text = fuzz::Out<64>;
using Slot = fuzz::Out<8>;

// How a text output is to look after success.
struct TextRule {
    enum Kind { None, Hex, HexUpTo, Plain } kind;
    int size;  // digits (Hex), most digits (HexUpTo), characters with the NUL (Plain)
};

struct Outputs {
    Text t[3];
    Slot n[5];
    bool untouched(bool skipFirstText) const {
        for (int i = skipFirstText ? 1 : 0; i < 3; ++i)
            if (!t[i].untouched()) return false;
        for (const Slot& s : n)
            if (!s.untouched()) return false;
        return true;
    }
    SK_ULONG* u(int i) { return n[i].as<SK_ULONG>(); }
    double* d(int i) { return n[i].as<double>(); }
    unsigned char* b(int i) { return n[i].bytes; }
    char* s(int i) { return t[i].text(); }
};

struct ReadCase {
    BOOL16 (*call)(SK_ULONG handle, Outputs& o, fuzz::Input& in);
    TextRule text[3];
    bool firstTextOnFailure;  // ClockLink or a first command may write text 0 on failure
    bool slotsOnFailure;      // ClockLink writes slot 0 itself
};

constexpr TextRule kNone{TextRule::None, 0};
constexpr TextRule hex(int digits) { return {TextRule::Hex, digits}; }

const ReadCase kCases[] = {
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SK_GetDevState(h, o.b(0)); },
     {kNone, kNone, kNone}, false, true},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SK_GetDevInfo(h, o.s(0)); },
     {hex(32), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SK_GetTime(h, o.d(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         const std::string key = in.text(20);
         return SKM_GetRaceIndex(h, key.c_str(), o.u(0));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetRaceCount(h, o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetRaceInfo(h, in.u32(), o.s(0), o.d(0), o.d(1), o.u(2));
     }, {hex(16), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetRaceCard(h, in.u32(), in.u32(), o.s(0));
     }, {hex(12), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetRaceRecord(h, in.u32(), in.u32(), o.s(0), o.d(0), o.s(1));
     }, {hex(32), hex(8), kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetRaceInfo2(h, in.u32(), o.u(0), o.u(1));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) { return SKM_GetTrainIndex(h, in.u32(), o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetTrainCount(h, o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetTrainInfo(h, in.u32(), o.u(0), o.d(1), o.d(2), o.u(3), o.u(4));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) { return SKM_GetTrainSite(h, in.u32(), o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetTrainRecord(h, in.u32(), in.u32(), o.s(0), o.b(0), o.d(1), o.d(2));
     }, {hex(12), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetCardCount(h, o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         const std::string ring = in.text(20);
         return SKM_GetCardIndex(h, ring.c_str(), o.u(0));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetCardInfo(h, in.u32(), o.s(0), o.b(0), o.u(1), o.u(2), o.u(3), o.u(4),
                                o.s(1));
     }, {hex(12), hex(24), kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetMaxLogNo(h, o.u(0)); },
     {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GetLogInfo(h, in.u32(), o.b(0), o.d(1), o.s(0));
     }, {{TextRule::HexUpTo, 50}, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) { return SKM_GetChannelNo(h, in.u32(), o.s(0)); },
     {hex(8), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKM_GET_TOUCH_TYPE(h, in.u32(), o.s(0));
     }, {hex(8), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetSiteInfo(h, o.s(0), o.s(1), o.s(2)); },
     {hex(8), {TextRule::Plain, 14}, {TextRule::Plain, 14}}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetPhoneCode(h, o.s(0)); },
     {{TextRule::Plain, 33}, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKM_GetStaffNo(h, o.s(0)); },
     {{TextRule::Plain, 17}, kNone, kNone}, true, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKS_ReadCard(h, o.s(0)); },
     {hex(32), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKH_ReadCard(h, o.s(0)); },
     {hex(32), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) {
         return SKS_QueryState(h, o.b(0), o.d(1), o.u(2), o.u(3));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) {
         return SKH_QueryState(h, o.b(0), o.d(1), o.u(2), o.u(3));
     }, {kNone, kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKS_GetRaceInfo(h, o.s(0), o.d(0), o.d(1)); },
     {hex(16), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKS_GetRaceRecord(h, in.u32(), o.s(0), o.d(0));
     }, {hex(32), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKH_GetRaceRecord(h, in.u32(), o.s(0), o.d(0));
     }, {hex(32), kNone, kNone}, false, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input&) { return SKH_GetRaceInfo(h, o.s(0), o.u(0)); },
     {hex(16), kNone, kNone}, true, false},
    {[](SK_ULONG h, Outputs& o, fuzz::Input& in) {
         return SKH_GetRaceCard(h, in.u32(), o.s(0), o.s(1), o.d(0));
     }, {hex(12), hex(16), kNone}, false, false},
};

bool textHolds(const Text& t, const TextRule& rule) {
    switch (rule.kind) {
        case TextRule::None: return t.untouched();
        case TextRule::Hex: return t.isHex(static_cast<std::size_t>(rule.size));
        case TextRule::HexUpTo: {
            std::size_t n = 0;
            while (n < 64 && t.bytes[n] != '\0') ++n;
            return n <= static_cast<std::size_t>(rule.size) && n % 2 == 0 && t.isHex(n);
        }
        case TextRule::Plain: return t.isText(static_cast<std::size_t>(rule.size));
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::size_t which = in.u8() % (sizeof kCases / sizeof kCases[0]);
    const ReadCase& c = kCases[which];
    const SK_ULONG clock = CLT_OpenTestClock();
    fuzz::queueAnswers(clock, in);

    Outputs o;
    const BOOL16 result = c.call(clock, o, in);
    CLT_Close(clock);
    fuzz::context = "read case " + std::to_string(which) + ", result " + std::to_string(result);

    if (result == 0) {
        if (c.slotsOnFailure) return 0;
        fuzz::check(o.untouched(c.firstTextOnFailure), "result 0: outputs untouched");
        if (c.firstTextOnFailure && c.text[0].kind == TextRule::Hex && !o.t[0].untouched())
            fuzz::check(textHolds(o.t[0], c.text[0]), "text written on failure is well formed");
        return 0;
    }
    for (int i = 0; i < 3; ++i)
        fuzz::check(textHolds(o.t[i], c.text[i]), "success: text outputs well formed");
    return 0;
}
