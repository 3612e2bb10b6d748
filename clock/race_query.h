// Reads of the M clock's race table: index by key, count, a race's entry and
// figures, one card of a race. Each is one class-0 read of exact length.
#pragma once

#include "skylark/skylark_types.h"

namespace skylark {

BOOL16 getRaceIndex(SK_ULONG handle, const char* raceKeyHex, SK_ULONG* raceIndex);
BOOL16 getRaceCount(SK_ULONG handle, SK_ULONG* raceCount);
// raceKeyText: 17 characters.
BOOL16 getRaceInfo(SK_ULONG handle, SK_ULONG raceIndex, char* raceKeyText, double* firstTime,
                   double* secondTime, SK_ULONG* raceFigure);
BOOL16 getRaceInfo2(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG* figure16, SK_ULONG* figure32);
// ringText: 13 characters.
BOOL16 getRaceCard(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG cardIndex, char* ringText);

}  // namespace skylark
