#include "frame/codec.h"

#include <cmath>

#include "base/calendar.h"
#include "os/os.h"

namespace skylark {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Value of each character as a hex digit, or -1 for any other character.
struct HexValues {
    signed char of[256];
    constexpr HexValues() : of() {
        for (int c = 0; c < 256; ++c) of[c] = -1;
        for (int v = 0; v < 10; ++v) of['0' + v] = static_cast<signed char>(v);
        for (int v = 0; v < 6; ++v) {
            of['A' + v] = static_cast<signed char>(10 + v);
            of['a' + v] = static_cast<signed char>(10 + v);
        }
    }
};
constexpr HexValues kHexValues;

// Advances over non-hex characters; returns the next digit's value and
// moves past it, or -1 at the end of the text.
int nextDigit(const char*& p) {
    while (*p != '\0') {
        const int v = kHexValues.of[static_cast<unsigned char>(*p++)];
        if (v >= 0) return v;
    }
    return -1;
}

// One field as a BCD byte: the value taken as 8 bits unsigned (so -1, the
// mark of a failed conversion, becomes 255 and then 0x95).
std::uint8_t toBcd(int v) {
    const unsigned u = static_cast<std::uint8_t>(v);
    return static_cast<std::uint8_t>((u / 10) * 16 + u % 10);
}

// A BCD byte as a number; nibbles above 9 are not rejected (0x1A is 20).
int fromBcd(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

bool isRealDateTime(const DateTime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t.year, t.month) &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

}  // namespace

void binToHex(const std::uint8_t* data, std::size_t len, char* text) {
    for (std::size_t i = 0; i < len; ++i) {
        text[2 * i] = kDigits[data[i] >> 4];
        text[2 * i + 1] = kDigits[data[i] & 0x0F];
    }
    text[2 * len] = '\0';
}

std::size_t hexToBin(const char* text, std::uint8_t* data, std::size_t maxBytes) {
    std::size_t count = 0;
    const char* p = text;
    while (count < maxBytes && *p != '\0') {
        const int high = nextDigit(p);
        if (high < 0) break;
        const int low = nextDigit(p);
        if (low < 0) break;  // a lone last digit is dropped
        data[count++] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return count;
}

void dateToBcd(std::uint8_t bcd[kBcdDateSize], double date) {
    DateTime t{-1, -1, -1, -1, -1, -1};
    if (std::isfinite(date) && !osDateToFields(date, t)) t = DateTime{-1, -1, -1, -1, -1, -1};
    dateTimeToBcd(t, bcd);
}

void dateTimeToBcd(const DateTime& t, std::uint8_t bcd[kBcdDateSize]) {
    bcd[0] = toBcd(t.year == -1 ? -1 : t.year % 100);
    bcd[1] = toBcd(t.month);
    bcd[2] = toBcd(t.day);
    bcd[3] = toBcd(t.hour);
    bcd[4] = toBcd(t.minute);
    bcd[5] = toBcd(t.second);
}

double bcdToDate(const std::uint8_t bcd[kBcdDateSize]) {
    const DateTime t{2000 + fromBcd(bcd[0]), fromBcd(bcd[1]), fromBcd(bcd[2]),
                     fromBcd(bcd[3]),        fromBcd(bcd[4]), fromBcd(bcd[5])};
    double date = 0.0;
    if (!isRealDateTime(t) || !osFieldsToDate(t, date)) return 0.0;
    return date;
}

}  // namespace skylark
