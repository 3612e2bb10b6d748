// The Gregorian calendar's month lengths, shared by the date codecs and the
// platform's date conversion.
#pragma once

namespace skylark {

inline bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days in month m (1..12) of year y.
inline int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace skylark
