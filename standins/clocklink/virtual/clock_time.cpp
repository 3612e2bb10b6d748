#include "standins/clocklink/virtual/clock_time.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

namespace standins::vclock {

namespace {

constexpr double kOle2000 = 36526.0;  // 1 January 2000 as an OLE date

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int monthDays(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

int bcdDigit(std::uint8_t b, bool& ok) {
    if ((b >> 4) > 9 || (b & 0x0F) > 9) ok = false;
    return (b >> 4) * 10 + (b & 0x0F);
}

}  // namespace

Fields fieldsOf(Seconds s) {
    Fields f{2000, 1, 1, 0, 0, 0};
    long days = static_cast<long>(s / 86400);
    long rest = static_cast<long>(s % 86400);
    while (days >= (leap(f.year) ? 366 : 365)) days -= leap(f.year++) ? 366 : 365;
    while (days >= monthDays(f.year, f.month)) days -= monthDays(f.year, f.month++);
    f.day = static_cast<int>(days) + 1;
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    return f;
}

bool secondsOf(const Fields& f, Seconds& s) {
    if (f.year < 2000 || f.year > 2099 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > monthDays(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
        f.minute > 59 || f.second < 0 || f.second > 59)
        return false;
    Seconds days = 0;
    for (int y = 2000; y < f.year; ++y) days += leap(y) ? 366 : 365;
    for (int m = 1; m < f.month; ++m) days += monthDays(f.year, m);
    days += f.day - 1;
    s = days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
    return true;
}

void toBcd(Seconds s, std::uint8_t bcd[6]) {
    const Fields f = fieldsOf(s);
    const int v[6] = {f.year % 100, f.month, f.day, f.hour, f.minute, f.second};
    for (int i = 0; i < 6; ++i) bcd[i] = static_cast<std::uint8_t>(v[i] / 10 * 16 + v[i] % 10);
}

bool fromBcd(const std::uint8_t bcd[6], Seconds& s) {
    bool ok = true;
    Fields f{};
    f.year = 2000 + bcdDigit(bcd[0], ok);
    f.month = bcdDigit(bcd[1], ok);
    f.day = bcdDigit(bcd[2], ok);
    f.hour = bcdDigit(bcd[3], ok);
    f.minute = bcdDigit(bcd[4], ok);
    f.second = bcdDigit(bcd[5], ok);
    return ok && secondsOf(f, s);
}

bool fromOle(double date, Seconds& s) {
    if (!std::isfinite(date)) return false;
    const double secs = std::round((date - kOle2000) * 86400.0);
    if (secs < static_cast<double>(kFirstSecond) || secs > static_cast<double>(kLastSecond))
        return false;
    s = static_cast<Seconds>(secs);
    return true;
}

double toOle(Seconds s) {
    return kOle2000 + static_cast<double>(s / 86400) + static_cast<double>(s % 86400) / 86400.0;
}

std::string toText(Seconds s) {
    const Fields f = fieldsOf(s);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", f.year, f.month, f.day,
                  f.hour, f.minute, f.second);
    return text;
}

bool fromText(const std::string& text, Seconds& s) {
    // Exactly the form toText writes: four, two, two, two, two and two digits.
    static constexpr char kForm[] = "DDDD-DD-DDTDD:DD:DD";
    if (text.size() != sizeof kForm - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == 'D' ? !digit : text[i] != kForm[i]) return false;
    }
    auto num = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (text[i] - '0');
        return v;
    };
    const Fields f{num(0, 4), num(5, 2), num(8, 2), num(11, 2), num(14, 2), num(17, 2)};
    return secondsOf(f, s);
}

}  // namespace standins::vclock
