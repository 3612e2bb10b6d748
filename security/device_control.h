// Commands that act on a clock as a whole: initialise it, switch it into
// in-system programming, read its state, device information and time, and
// set its time with a verification block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "skylark/skylark_types.h"
#include "frame/codec.h"

class CDesKey;

namespace skylark {

inline constexpr std::size_t kTimeBlockSize = 14;  // the time-setting block

// Reads the clock's state byte straight into *state (device-state rule).
BOOL16 getDevState(SK_ULONG handle, std::uint8_t* state);

// Initialises the clock with the access code, the password folded in (null
// for none), and the host's local time (pass-through).
BOOL16 initDevEx(SK_ULONG handle, const char* password);

// Puts the clock into in-system programming with the access code (pass-through).
BOOL16 activeIsp(SK_ULONG handle);

// The 16 bytes of device information as 32 hex digits and a NUL (exact length).
BOOL16 getDevInfo(SK_ULONG handle, char* text);

// The clock's time as an OLE date (exact length).
BOOL16 getTime(SK_ULONG handle, double* date);

// The time-setting block for a 6-byte BCD time, device random rnd and the
// export's mask pair; its verification block is encrypted under key when key
// is given, sent clear otherwise.
//   0          6                                  14
//   | time 6   | verification block 8             |
void timeBlock(const std::uint8_t bcd[kBcdDateSize], const std::uint8_t rnd[4], const std::uint8_t mask[2],
               const CDesKey* key, std::uint8_t out[kTimeBlockSize]);

// Sets the clock's time with an encrypted verification block (pass-through;
// 0 when the device random cannot be fetched).
BOOL16 setPigeon(SK_ULONG handle, double date);

// Sets the clock's time with a clear verification block (as setPigeon).
BOOL16 setTime(SK_ULONG handle, double date);

}  // namespace skylark
