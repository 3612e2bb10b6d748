// The verified download of one arrival record of a race.
#pragma once

#include "skylark/skylark_types.h"

namespace skylark {

// Sends a fresh random challenge with the request and delivers the record
// only when the clock's verification code answers that challenge.
// recordText: 33 characters; leadText: 9 characters.
BOOL16 getRaceRecord(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG recordIndex, char* recordText,
                     double* arrivalTime, char* leadText);

}  // namespace skylark
