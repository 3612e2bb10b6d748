// The factory secrets every clock shares with this library: fixed byte
// strings that the clock's firmware holds too. Each is defined here once;
// the library's exports and any clock built alongside it (a virtual clock,
// a test clock) include this header rather than repeat a value.
#pragma once

#include <cstdint>

namespace skylark {

// Access code: sent with the password folded in when a clock is
// initialised, and unchanged to put it into in-system programming.
inline constexpr std::uint8_t kAccessCode[8] = {0x5B, 0xC3, 0x17, 0xA9, 0x6E, 0x24, 0xD0, 0x8F};

// Starting value of the system identifier, into which the connection
// password is folded.
inline constexpr std::uint8_t kSystemIdPad[8] = {0x3A, 0x91, 0xE4, 0x5D, 0x08, 0xB7, 0x62, 0xCF};

// Key half of every comm key installed in ClockLink. The same 8 bytes are the
// DES key under which stored arrival records are encrypted (kRecordKey).
inline constexpr std::uint8_t kCommKey[8] = {0xA4, 0x1F, 0x6B, 0xD2, 0x37, 0x8E, 0xC5, 0x49};
inline constexpr const std::uint8_t (&kRecordKey)[8] = kCommKey;

// XOR mask over the key field of a 24-byte masked record.
inline constexpr std::uint8_t kRecordMask[8] = {0x71, 0xE8, 0x2C, 0x95, 0xBA, 0x43, 0x0D, 0xF6};

// Mask bytes 6 and 7 of the verification block sent with a new time: one
// pair for the encrypted form (SK_SetPigeon), one for the clear form
// (SK_SetTime).
inline constexpr std::uint8_t kPigeonMask[2] = {0x6D, 0xB2};
inline constexpr std::uint8_t kTimeMask[2] = {0x9E, 0x47};

}  // namespace skylark
