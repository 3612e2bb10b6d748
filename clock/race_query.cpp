#include "clock/race_query.h"

#include "clock/identifiers.h"
#include "frame/frame.h"

namespace skylark {

// 0 selector | 1 race key 8 | 9
// reply: 0 race index 2 | 2
BOOL16 getRaceIndex(SK_ULONG handle, const char* raceKeyHex, SK_ULONG* raceIndex) {
    if (raceKeyHex == nullptr || raceIndex == nullptr) return 0;
    Params params = paramsFor(cmd::GetRaceIndex);
    params.hex(raceKeyHex, kRaceKeyBytes);
    return runReadNumber<16>(handle, cmd::GetRaceIndex, params, raceIndex);
}

// 0 selector | 1
// reply: 0 race count 2 | 2
BOOL16 getRaceCount(SK_ULONG handle, SK_ULONG* raceCount) {
    if (raceCount == nullptr) return 0;
    Params params = paramsFor(cmd::GetRaceCount);
    return runReadNumber<16>(handle, cmd::GetRaceCount, params, raceCount);
}

// 0 selector | 1 race index 2 | 3
// reply: 0 race key 8 | 8 first time 6 | 14 second time 6 | 20 race figure 2 | 22
BOOL16 getRaceInfo(SK_ULONG handle, SK_ULONG raceIndex, char* raceKeyText, double* firstTime,
                   double* secondTime, SK_ULONG* raceFigure) {
    if (raceKeyText == nullptr || firstTime == nullptr || secondTime == nullptr ||
        raceFigure == nullptr)
        return 0;
    Params params = paramsFor(cmd::GetRaceInfo);
    params.be16(raceIndex);
    return runRead(handle, cmd::GetRaceInfo, params, [&](ReplyReader& r) {
        r.hex(kRaceKeyBytes, raceKeyText);
        *firstTime = r.bcdDate();
        *secondTime = r.bcdDate();
        *raceFigure = r.be16();
    });
}

// 0 selector | 1 race index 2 | 3
// reply: 0 figure16 2 | 2 figure32 4 | 6
BOOL16 getRaceInfo2(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG* figure16, SK_ULONG* figure32) {
    if (figure16 == nullptr || figure32 == nullptr) return 0;
    Params params = paramsFor(cmd::GetRaceInfo2);
    params.be16(raceIndex);
    return runRead(handle, cmd::GetRaceInfo2, params, [&](ReplyReader& r) {
        *figure16 = r.be16();
        *figure32 = r.be32();
    });
}

// 0 selector | 1 race index 2 | 3 card index 2 | 5
// reply: 0 ring number 6 | 6 rest of the card entry 2 (not delivered) | 8
BOOL16 getRaceCard(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG cardIndex, char* ringText) {
    if (ringText == nullptr) return 0;
    Params params = paramsFor(cmd::GetRaceCard);
    params.be16(raceIndex).be16(cardIndex);
    return runRead(handle, cmd::GetRaceCard, params,
                   [&](ReplyReader& r) { r.hex(kRingBytes, ringText); });
}

}  // namespace skylark
