// The date tables: OLE dates and the BCD bytes the Windows conversions
// (oleaut32, in round to nearest with 53-bit doubles) give for them. One
// table for every build and every floating-point mode (codec_test.cpp,
// fp_mode_test.cpp).
#pragma once

#include <limits>

namespace test {

struct DateCase {
    const char* name;
    double date;
    const char* bcd;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// DateToBcd: whole seconds, rounded; out of range, every byte 95.
inline const DateCase kDateToBcdCases[] = {
    DateCase{"Ordinary", 40251.37855324074, "10 03 14 09 05 07"},
    DateCase{"Year1999", 36161.0, "99 01 01 00 00 00"},
    DateCase{"DayZero", 0.0, "99 12 30 00 00 00"},
    DateCase{"NegativeTimeCountsForward", -1.25, "99 12 29 06 00 00"},
    DateCase{"NegativeHalfDay", -0.5, "99 12 30 12 00 00"},
    DateCase{"NegativeAlmostTwoDays", -1.999999, "99 12 30 00 00 00"},
    DateCase{"NegativeOneSecond", -1.0000057870370, "99 12 29 00 00 01"},
    DateCase{"HalfSecond", 40251.000005787037, "10 03 14 00 00 01"},
    DateCase{"HalfSecondBelow", 40251.0000057870366, "10 03 14 00 00 01"},
    DateCase{"LastHalfSecondCarriesToNextDay", 40251.999994212963, "10 03 15 00 00 00"},
    DateCase{"LastHalfSecondBelow", 40251.99999421296, "10 03 15 00 00 00"},
    DateCase{"CarryIntoYear10000", 2958465.999995, "00 01 01 00 00 00"},
    DateCase{"LastSecondOf9999", 2958465.99999, "99 12 31 23 59 59"},
    DateCase{"NoonOfLastDay", 2958465.5, "99 12 31 12 00 00"},
    DateCase{"FirstDay", -657434.0, "00 01 01 00 00 00"},
    DateCase{"FirstDayEvening", -657434.9, "00 01 01 21 36 00"},
    DateCase{"FirstDayCarry", -657434.99999999, "00 01 02 00 00 00"},
    DateCase{"FirstDayLastInstantIsNoHour24", -657434.99999999977, "00 01 02 00 00 00"},
    DateCase{"DayZeroLastInstantIsNoHour24", 0.99999999999999989, "99 12 31 00 00 00"},
    DateCase{"BelowRange", -657435.0, "95 95 95 95 95 95"},
    DateCase{"AboveRange", 2958466.0, "95 95 95 95 95 95"},
    DateCase{"LeapDay2000", 36585.5, "00 02 29 12 00 00"},
    DateCase{"LeapDay2024", 45351.75, "24 02 29 18 00 00"},
    DateCase{"Feb27Of1900", 59.0, "00 02 27 00 00 00"},
    DateCase{"Feb28Of1900", 60.0, "00 02 28 00 00 00"},
    DateCase{"Mar1Of1900NoLeapDay", 61.0, "00 03 01 00 00 00"},
    DateCase{"Huge", 1e300, "95 95 95 95 95 95"},
    DateCase{"HugeNegative", -1e300, "95 95 95 95 95 95"},
    DateCase{"NaN", kNaN, "95 95 95 95 95 95"},
    DateCase{"Infinity", kInf, "95 95 95 95 95 95"},
    DateCase{"NegativeInfinity", -kInf, "95 95 95 95 95 95"},
};

// BcdToDate: years 2000 to 2099 (a year byte's nibbles above 9 count on);
// anything that is no real date and time gives 0.
inline const DateCase kBcdToDateCases[] = {
    DateCase{"Ordinary", 0x1.3a76c1d1baf98p+15, "10 03 14 09 05 07"},
    DateCase{"Year99Is2099", 0x1.1d5affff3dd1cp+16, "99 12 31 23 59 59"},
    DateCase{"Year00Is2000", 36526.0, "00 01 01 00 00 00"},
    DateCase{"NibbleAboveNineCounts", 43831.0, "1A 01 01 00 00 00"},
    DateCase{"LeapDay2012", 40968.5, "12 02 29 12 00 00"},
    DateCase{"LeapDay2000", 36585.0, "00 02 29 00 00 00"},
    DateCase{"LargestYearByte", 0x1.7b84ffff3dd1cp+16, "FF 12 31 23 59 59"},
    DateCase{"Month13", 0.0, "10 13 01 00 00 00"},
    DateCase{"Month0", 0.0, "10 00 01 00 00 00"},
    DateCase{"Feb29NotLeap", 0.0, "10 02 29 00 00 00"},
    DateCase{"Feb29Of2100", 0.0, "A0 02 29 00 00 00"},
    DateCase{"April31", 0.0, "10 04 31 00 00 00"},
    DateCase{"Day0", 0.0, "10 01 00 00 00 00"},
    DateCase{"Hour24", 0.0, "10 01 01 24 00 00"},
    DateCase{"Minute60", 0.0, "10 01 01 00 60 00"},
    DateCase{"Second60", 0.0, "10 01 01 00 00 60"},
    DateCase{"Unconvertible", 0.0, "95 95 95 95 95 95"},
};

}  // namespace test
