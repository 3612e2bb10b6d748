// The M clock's race table: the commands that enter, stock, confirm, close
// and remove races, and the depose command. One user command each, no reply.
#pragma once

#include "skylark/skylark_types.h"

namespace skylark {

BOOL16 createRace(SK_ULONG handle, const char* raceKeyHex, double firstTime, double secondTime,
                  SK_ULONG raceParam);
BOOL16 addRaceCard(SK_ULONG handle, const char* cardHex);
// confirmData: 8 raw bytes, sent as they stand.
BOOL16 confirmRace(SK_ULONG handle, const char* raceKeyHex, SK_ULONG confirmValue,
                   const char* confirmData);
// Also the pause of a race: the clock tells no pause from a close.
BOOL16 closeRace(SK_ULONG handle, const char* raceKeyHex);
BOOL16 removeRace(SK_ULONG handle, const char* raceKeyHex);
BOOL16 deposeRaces(SK_ULONG handle, const char* deposeHex);

}  // namespace skylark
