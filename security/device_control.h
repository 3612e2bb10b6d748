// Commands that act on a clock as a whole.
#pragma once

#include <cstdint>

#include "api/skylark.h"

namespace skylark {

// Reads the clock's state byte straight into *state (device-state rule).
BOOL16 getDevState(SK_ULONG handle, std::uint8_t* state);

}  // namespace skylark
