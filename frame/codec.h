// Hex text and BCD date codecs: the four conversions every identifier and
// date goes through between the host and the clock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/calendar.h"

namespace skylark {

// Width of a BCD date-time field: YY MM DD hh mm ss.
inline constexpr std::size_t kBcdDateSize = 6;

// Writes len bytes as 2*len upper-case hex digits followed by a NUL.
void binToHex(const std::uint8_t* data, std::size_t len, char* text);

// Decodes hex digit pairs of text into at most maxBytes bytes; characters
// that are not hex digits are skipped and a lone last digit is dropped.
// Returns the number of bytes written; bytes beyond it are not touched.
std::size_t hexToBin(const char* text, std::uint8_t* data, std::size_t maxBytes);

// Six packed BCD bytes YY MM DD hh mm ss of an OLE date; six 0x95 bytes
// when the date cannot be converted.
void dateToBcd(std::uint8_t bcd[kBcdDateSize], double date);

// Six packed BCD bytes YY MM DD hh mm ss of date-time fields (the year
// modulo 100), for times that are already fields, such as the local time.
void dateTimeToBcd(const DateTime& t, std::uint8_t bcd[kBcdDateSize]);

// The OLE date of six BCD bytes, the year read as 2000 + YY; 0.0 unless the
// fields form a real date-time.
double bcdToDate(const std::uint8_t bcd[kBcdDateSize]);

}  // namespace skylark
