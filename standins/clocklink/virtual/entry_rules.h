// The rules a clock keeps about what a host enters: times in order, and an
// arrival never before its bird was let go nor after the clock's present.
// The commands refuse what breaks them (CLV_ERR_TIME_ORDER); a clock's state
// keeps them, so the saved-state check can hold a file to them too.
#pragma once

#include "standins/clocklink/virtual/clock_state.h"

namespace standins::vclock {

// A race's or training flight's second time (closing) is not before its
// first (liberation, release). Both must be valid BCD date-times.
bool timesInOrder(const Bcd& first, const Bcd& second);

// An arrival is not before `start`: the liberation of its race (M, S), the
// release of its training flight (M) or its race card's time (H).
bool arrivesAfter(Seconds arrival, const Bcd& start);

// The card time of an H race card (bytes 16-21).
Bcd cardTime(const HCard& card);

}  // namespace standins::vclock
