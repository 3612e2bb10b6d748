// OLE Automation dates split into fields and built from them, the same on
// every platform. The steps are those of the Windows conversions
// (VariantTimeToSystemTime, SystemTimeToVariantTime), in the same
// floating-point order, so the bytes are the ones a Windows host expects.
// They are not left to oleaut32 itself: its result follows the caller's x87
// precision and rounding mode, and so does any double arithmetic, ours
// included; here it runs under StandardFloatingPoint, in round to nearest
// with 53-bit doubles, whatever the host set.
#include <cmath>

#include "base/calendar.h"
#include "base/fp_env.h"
#include "os/os.h"

namespace skylark {

namespace {

// The convertible range: 1 January 100 to 31 December 9999.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;

// Day 0 of the OLE calendar (30 December 1899) counted from 1 March 0000,
// the epoch of the civil-day arithmetic below.
constexpr long kOleEpoch = 693899;

// The largest double below 1.
constexpr double kBelowOne = 0x1.fffffffffffffp-1;

// Gregorian date of a day counted from 1 March 0000 (proleptic calendar).
void civilFromDays(long z, int& y, int& m, int& d) {
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;                                     // [0, 146096]
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // [0, 365]
    const long mp = (5 * doy + 2) / 153;                                   // [0, 11], March first
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

long daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

SKYLARK_FP_OUTLINE bool splitDate(double date, DateTime& out) {
    if (!(date > kFirstDay - 1.0 && date < kLastDay + 1.0)) return false;

    // The day is the whole part truncated toward zero (exact: the range fits
    // an int); the time of day is the size of the fraction, counted forward
    // from that day's midnight. A tiny amount is added against values that
    // sit just below a whole second.
    const int day = static_cast<int>(date);
    double time = std::fabs(date - static_cast<double>(day)) + 0.00000000001;
    if (time >= 1.0) time -= 0.00000000001;
    // Never a 24th hour: a fraction within the last part of a second of the
    // day's end rounds to the next midnight below.
    if (time >= 1.0) time = kBelowOne;

    civilFromDays(static_cast<long>(day) + kOleEpoch, out.year, out.month, out.day);

    time *= 24.0;
    out.hour = static_cast<int>(time);
    time -= out.hour;
    time *= 60.0;
    out.minute = static_cast<int>(time);
    time -= out.minute;
    time *= 60.0;
    out.second = static_cast<int>(time);
    time -= out.second;

    // Round to the nearest second, carrying into minutes, hours and days.
    if (time > 0.5) {
        if (++out.second == 60) {
            out.second = 0;
            if (++out.minute == 60) {
                out.minute = 0;
                if (++out.hour == 24) {
                    out.hour = 0;
                    if (++out.day > daysInMonth(out.year, out.month)) {
                        out.day = 1;
                        if (++out.month > 12) {
                            out.month = 1;
                            ++out.year;
                        }
                    }
                }
            }
        }
    }
    return true;
}

SKYLARK_FP_OUTLINE void joinDate(const DateTime& t, double& out) {
    double date = static_cast<double>(daysFromCivil(t.year, t.month, t.day) - kOleEpoch);
    const double sign = date < 0.0 ? -1.0 : 1.0;
    date += t.hour / 24.0 * sign;
    date += t.minute / 1440.0 * sign;
    date += t.second / 86400.0 * sign;
    out = date;
}

}  // namespace

bool osDateToFields(double date, DateTime& out) {
    const StandardFloatingPoint fp;
    return splitDate(date, out);
}

bool osFieldsToDate(const DateTime& t, double& out) {
    const StandardFloatingPoint fp;
    joinDate(t, out);
    return true;
}

}  // namespace skylark
