// The virtual clock's calendar: its time is a count of seconds from
// 1 January 2000 00:00:00 (wall-clock time, no zone), the range a clock's
// BCD dates can hold (2000 to 2099).
#pragma once

#include <cstdint>
#include <string>

namespace standins::vclock {

using Seconds = std::int64_t;

struct Fields {
    int year, month, day, hour, minute, second;
};

// The first and last second a clock can show.
constexpr Seconds kFirstSecond = 0;
constexpr Seconds kLastSecond = 36524LL * 86400 + 86399;  // 31 December 2099 23:59:59

Fields fieldsOf(Seconds s);
// False unless the fields form a real date-time of 2000 to 2099.
bool secondsOf(const Fields& f, Seconds& s);

// Six BCD bytes YY MM DD hh mm ss, years 2000 to 2099.
void toBcd(Seconds s, std::uint8_t bcd[6]);
// False unless the bytes are valid BCD digits forming a real date-time.
bool fromBcd(const std::uint8_t bcd[6], Seconds& s);

// OLE Automation dates (days from 30 December 1899); false outside 2000-2099.
bool fromOle(double date, Seconds& s);
double toOle(Seconds s);

// "YYYY-MM-DDThh:mm:ss", for the saved state.
std::string toText(Seconds s);
bool fromText(const std::string& text, Seconds& s);

}  // namespace standins::vclock
