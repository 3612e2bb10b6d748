// The calendar beneath everything else: a date and time of day as a value,
// and the Gregorian calendar's month lengths, shared by the date codecs and
// the platform's date conversion. Includes nothing of the library.
#pragma once

namespace skylark {

// A calendar date and time of day in whole seconds.
struct DateTime {
    int year;
    int month;   // 1..12
    int day;     // 1..31
    int hour;    // 0..23
    int minute;  // 0..59
    int second;  // 0..59
};

inline bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days in month m (1..12) of year y.
inline int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace skylark
