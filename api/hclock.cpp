// Exports: the H clock (SKH_). Four run the S clock's functions under
// another name.
#include "skylark/skylark.h"
#include "clock/hclock.h"
#include "clock/sclock.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SKH_ReadCard(SK_ULONG handle, char* cardDataHex) {
    return skylark::sReadCard(handle, cardDataHex);
}

SKAPI BOOL16 SKAPI_CALL SKH_QueryState(SK_ULONG handle, unsigned char* state, double* stateTime,
                                       SK_ULONG* firstCount, SK_ULONG* secondCount) {
    return skylark::sQueryState(handle, state, stateTime, firstCount, secondCount);
}

SKAPI BOOL16 SKAPI_CALL SKH_ClearRace(SK_ULONG handle) { return skylark::sClearRace(handle); }

SKAPI BOOL16 SKAPI_CALL SKH_GetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime) {
    return skylark::sGetRaceRecord(handle, recordIndex, recordText, arrivalTime);
}

SKAPI BOOL16 SKAPI_CALL SKH_GetRaceInfo(SK_ULONG handle, char* raceKeyHex, SK_ULONG* cardCount) {
    return skylark::hGetRaceInfo(handle, raceKeyHex, cardCount);
}

SKAPI BOOL16 SKAPI_CALL SKH_GetRaceCard(SK_ULONG handle, SK_ULONG cardIndex, char* ringNoHex,
                                        char* cardCodeHex, double* cardTime) {
    return skylark::hGetRaceCard(handle, cardIndex, ringNoHex, cardCodeHex, cardTime);
}

SKAPI BOOL16 SKAPI_CALL SKH_CreateRace(SK_ULONG handle, const char* raceKeyHex) {
    return skylark::hCreateRace(handle, raceKeyHex);
}

SKAPI BOOL16 SKAPI_CALL SKH_AddRaceCard(SK_ULONG handle, const char* ringNoHex,
                                        const char* cardCodeHex, double cardTime) {
    return skylark::hAddRaceCard(handle, ringNoHex, cardCodeHex, cardTime);
}

SKAPI BOOL16 SKAPI_CALL SKH_ConfirmRace(SK_ULONG handle, const char* raceKeyHex,
                                        SK_ULONG confirmValue) {
    return skylark::hConfirmRace(handle, raceKeyHex, confirmValue);
}

}  // extern "C"
