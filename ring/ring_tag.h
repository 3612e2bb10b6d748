// Ring tags through RingReader: activating a tag, writing a ring number and
// a race number into its data frame, reading them back, and releasing it.
// Results are -1 on success and 0 on failure.
#pragma once

#include "skylark/skylark_types.h"

namespace skylark {

// Activates the tag in the reader's field; its UID as 8 hex digits (9 characters).
BOOL16 ringActivate(SK_ULONG reader, char* uidHex);

// Releases the active tag.
BOOL16 ringDeactivate(SK_ULONG reader);

// Writes the frame of ringNoHex (6 bytes) and raceNoHex (exactly 4 bytes)
// to pages 4..7, reads it back, and sets the configuration byte.
BOOL16 ringFormat(SK_ULONG reader, const char* ringNoHex, const char* raceNoHex);

// Reads the frame back: the ring number into ringNoHex (12 hex digits, 13
// characters) and the race number into raceNoHex (8 digits, 9 characters).
BOOL16 ringRead(SK_ULONG reader, char* ringNoHex, char* raceNoHex);

}  // namespace skylark
