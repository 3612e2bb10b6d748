// The text forms in which three clock settings cross the interface, each as
// a pair of conversions between the host's text and the clock's bytes:
// coordinates (DDD.FFFFFFFF over a digit byte and packed BCD), the phone
// code (a dial string packed four bits per symbol) and the staff number
// (NUL-padded text).
#pragma once

#include <cstddef>
#include <cstdint>

namespace skylark {

// A coordinate: 6 bytes on the wire, 12 characters of text (13 when the
// first byte is 0x10 or more) and a NUL.
//   0 hundreds digit 1 | 1 tens+units BCD 1 | 2 eight digits after the point, BCD 4
inline constexpr std::size_t kCoordBytes = 6;
inline constexpr std::size_t kCoordTextSize = 14;

// Reads the text by position: position 0 is the hundreds digit (its
// character code minus '0'), positions 1-2 the next two digits, position 3
// is never read, positions 4-11 the digits after the point. The text ends at
// its NUL; positions it does not reach count as the digit 0.
void coordToWire(const char* text, std::uint8_t wire[kCoordBytes]);

// Formats the 6 bytes as "%01X%02X.%02X%02X%02X%02X". text: kCoordTextSize.
void coordFromWire(const std::uint8_t wire[kCoordBytes], char* text);

// The phone code: 32 symbols of four bits, symbol 1 in the high half of the
// first byte. "1"-"9" are 1-9, "0" is 0xA, "*" 0xB, "#" 0xC, "," 0xD; an
// unused position is 0.
inline constexpr std::size_t kPhoneBytes = 16;
inline constexpr std::size_t kPhoneSymbols = 2 * kPhoneBytes;
inline constexpr std::size_t kPhoneTextSize = kPhoneSymbols + 1;

// Packs the dial string up to its first character that is no dial symbol
// (the NUL included) and at most 32 symbols; the rest stays 0.
void phoneToWire(const char* dial, std::uint8_t wire[kPhoneBytes]);

// Unpacks all 32 symbols into text (kPhoneTextSize) with a NUL at 32; a
// symbol 0 becomes NUL, so the text ends at the first unused position.
// Symbols 0xD to 0xF read as ",".
void phoneFromWire(const std::uint8_t wire[kPhoneBytes], char* text);

// The staff number: 16 bytes of text, NUL-padded; a 16-character number has
// no NUL on the wire.
inline constexpr std::size_t kStaffBytes = 16;
inline constexpr std::size_t kStaffTextSize = kStaffBytes + 1;

// Copies at most the first 16 characters of text and pads with NUL.
void staffToWire(const char* text, std::uint8_t wire[kStaffBytes]);

// Terminates a staff number that the clock delivered into buffer
// (kStaffTextSize): the NUL goes at the delivered length, at most at 16.
void staffFromWire(char* buffer, std::uint32_t delivered);

}  // namespace skylark
