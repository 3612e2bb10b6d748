#include "clock/hclock.h"

#include "clock/identifiers.h"
#include "frame/frame.h"

namespace skylark {

namespace {

// A race card, the same 22 bytes in the block that adds one and in the reply
// that reads one back:
// 0 ring number 6 | 6 zero 2 | 8 card code 8 | 16 card time 6 | 22
struct RaceCard {
    static constexpr std::size_t kCodeBytes = 8;

    static void put(Params& p, const char* ringNoHex, const char* cardCodeHex, double cardTime) {
        ringField(p, ringNoHex).hex(cardCodeHex, kCodeBytes).bcdDate(cardTime);
    }
    static void get(ReplyReader& r, char* ringNoHex, char* cardCodeHex, double* cardTime) {
        readRingField(r, ringNoHex);
        r.hex(kCodeBytes, cardCodeHex);
        *cardTime = r.bcdDate();
    }
};

}  // namespace

BOOL16 hGetRaceInfo(SK_ULONG handle, char* raceKeyHex, SK_ULONG* cardCount) {
    if (raceKeyHex == nullptr || cardCount == nullptr) return 0;
    // 0 race key 8 | 8
    Params keyParams = paramsFor(cmd::HGetRaceKey);
    if (!runRead(handle, cmd::HGetRaceKey, keyParams,
                 [&](ReplyReader& r) { r.hex(kRaceKeyBytes, raceKeyHex); }))
        return 0;
    // 0 card count 2 | 2
    Params countParams = paramsFor(cmd::HGetCardCount);
    return runReadNumber<16>(handle, cmd::HGetCardCount, countParams, cardCount);
}

BOOL16 hGetRaceCard(SK_ULONG handle, SK_ULONG cardIndex, char* ringNoHex, char* cardCodeHex,
                    double* cardTime) {
    if (ringNoHex == nullptr || cardCodeHex == nullptr || cardTime == nullptr) return 0;
    // 0 selector 1 | 1 card index 2 | 3
    Params params = paramsFor(cmd::HGetRaceCard);
    params.be16(cardIndex);
    return runRead(handle, cmd::HGetRaceCard, params,
                   [&](ReplyReader& r) { RaceCard::get(r, ringNoHex, cardCodeHex, cardTime); });
}

BOOL16 hCreateRace(SK_ULONG handle, const char* raceKeyHex) {
    if (raceKeyHex == nullptr) return 0;
    // 0 race key 8 | 8 zero 6 | 14  (the zeros stand where the S clock sends a race time)
    Params params = paramsFor(cmd::HCreateRace);
    params.hex(raceKeyHex, kRaceKeyBytes).zeros(kBcdDateSize);
    return run(handle, cmd::HCreateRace, params, nullptr).result;
}

BOOL16 hAddRaceCard(SK_ULONG handle, const char* ringNoHex, const char* cardCodeHex,
                    double cardTime) {
    if (ringNoHex == nullptr || cardCodeHex == nullptr) return 0;
    // The block starts cleared and each hex field is zero-filled, so short
    // texts send zeros.
    Params params = paramsFor(cmd::HAddRaceCard);
    RaceCard::put(params, ringNoHex, cardCodeHex, cardTime);
    return run(handle, cmd::HAddRaceCard, params, nullptr).result;
}

BOOL16 hConfirmRace(SK_ULONG handle, const char* raceKeyHex, SK_ULONG confirmValue) {
    if (raceKeyHex == nullptr) return 0;
    // 0 race key 8 | 8 confirmation value 2 | 10
    Params params = paramsFor(cmd::HConfirmRace);
    params.hex(raceKeyHex, kRaceKeyBytes).be16(confirmValue);
    return run(handle, cmd::HConfirmRace, params, nullptr).result;
}

}  // namespace skylark
