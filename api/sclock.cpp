// Exports: the S clock (SKS_).
#include "skylark/skylark.h"
#include "clock/sclock.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SKS_ReadCard(SK_ULONG handle, char* cardDataHex) {
    return skylark::sReadCard(handle, cardDataHex);
}

SKAPI BOOL16 SKAPI_CALL SKS_QueryState(SK_ULONG handle, unsigned char* state, double* stateTime,
                                       SK_ULONG* firstCount, SK_ULONG* secondCount) {
    return skylark::sQueryState(handle, state, stateTime, firstCount, secondCount);
}

SKAPI BOOL16 SKAPI_CALL SKS_GetRaceInfo(SK_ULONG handle, char* raceKeyHex, double* firstTime,
                                        double* secondTime) {
    return skylark::sGetRaceInfo(handle, raceKeyHex, firstTime, secondTime);
}

SKAPI BOOL16 SKAPI_CALL SKS_CreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime,
                                       double secondTime) {
    return skylark::sCreateRace(handle, raceKeyHex, firstTime, secondTime);
}

SKAPI BOOL16 SKAPI_CALL SKS_ClearRace(SK_ULONG handle) { return skylark::sClearRace(handle); }

SKAPI BOOL16 SKAPI_CALL SKS_GetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime) {
    return skylark::sGetRaceRecord(handle, recordIndex, recordText, arrivalTime);
}

}  // extern "C"
