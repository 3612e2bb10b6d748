// The S clock: a clock with a single race. Its card data, state, race entry
// and the verified download of its arrival records.
#pragma once

#include <cstdint>

#include "skylark/skylark_types.h"

namespace skylark {

// Reads the 16 card bytes the clock holds as 32 hex digits (33 characters).
BOOL16 sReadCard(SK_ULONG handle, char* cardDataHex);

// Reads the state byte, the two counters and the state time.
BOOL16 sQueryState(SK_ULONG handle, std::uint8_t* state, double* stateTime, SK_ULONG* firstCount,
                   SK_ULONG* secondCount);

// Reads the race key (17 characters) and the first race time; secondTime
// receives 0.0, as the reply carries no second time.
BOOL16 sGetRaceInfo(SK_ULONG handle, char* raceKeyHex, double* firstTime, double* secondTime);

// Enters the race: its key and two race times.
BOOL16 sCreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime, double secondTime);

// Clears the race; ClockLink's status is returned unchanged.
BOOL16 sClearRace(SK_ULONG handle);

// Downloads arrival record recordIndex (low 16 bits) and accepts it only if
// its verification code answers a fresh challenge. recordText: 33 characters.
BOOL16 sGetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                      double* arrivalTime);

}  // namespace skylark
