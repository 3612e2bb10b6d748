// The H clock: a clock with one race and its list of race cards. The reads
// of its card data and state, the clearing of its race and the record
// download are the S clock's (clock/sclock.h).
#pragma once

#include <cstdint>

#include "skylark/skylark_types.h"

namespace skylark {

// Reads the race key (17 characters), then the number of race cards. A
// failure of the second read leaves the race key written.
BOOL16 hGetRaceInfo(SK_ULONG handle, char* raceKeyHex, SK_ULONG* cardCount);

// Reads race card cardIndex (low 16 bits): ring number (13 characters),
// card code (17 characters) and card time.
BOOL16 hGetRaceCard(SK_ULONG handle, SK_ULONG cardIndex, char* ringNoHex, char* cardCodeHex,
                    double* cardTime);

// Enters the race by its key.
BOOL16 hCreateRace(SK_ULONG handle, const char* raceKeyHex);

// Adds a race card; ClockLink's status is returned unchanged.
BOOL16 hAddRaceCard(SK_ULONG handle, const char* ringNoHex, const char* cardCodeHex,
                    double cardTime);

// Confirms the race with confirmValue (low 16 bits); ClockLink's status is
// returned unchanged.
BOOL16 hConfirmRace(SK_ULONG handle, const char* raceKeyHex, SK_ULONG confirmValue);

}  // namespace skylark
