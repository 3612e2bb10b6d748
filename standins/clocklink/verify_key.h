// The verification key ClockLink shares with the clocks: the DES key of
// s_verifykey. It belongs to ClockLink and the clock firmware, not to the
// library, which sees only the key schedule ClockLink exports.
#pragma once

namespace standins {

inline constexpr unsigned char kVerifyKey[8] = {0x2F, 0xD4, 0x86, 0x1B, 0xE9, 0x70, 0x5C, 0xA3};

}  // namespace standins
