// Hex text for the stand-ins: identifiers in and out of the virtual clocks'
// C API, their saved state and the traces the replay devices read. The
// devices' own, kept apart from the library's codecs so that the clock's
// side stays independent of the code it is a test partner for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standins {

// The value of a hex digit (either case), -1 for any other character.
inline int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Upper-case hex text of n bytes.
inline std::string hexText(const std::uint8_t* p, std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 0x0F];
    }
    return s;
}

// n bytes as 2n upper-case hex digits and a NUL into text.
inline void writeHex(const std::uint8_t* p, std::size_t n, char* text) {
    const std::string s = hexText(p, n);
    s.copy(text, s.size());
    text[s.size()] = '\0';
}

// Bytes from the hex digits of text, in pairs, characters that are not hex
// digits skipped, at most n of them into out. Returns the number written.
inline std::size_t readHexSkipping(const char* text, std::uint8_t* out, std::size_t n) {
    std::size_t written = 0;
    int high = -1;
    for (const char* p = text; *p != '\0' && written < n; ++p) {
        const int d = hexDigit(*p);
        if (d < 0) continue;
        if (high < 0) {
            high = d;
        } else {
            out[written++] = static_cast<std::uint8_t>(high * 16 + d);
            high = -1;
        }
    }
    return written;
}

}  // namespace standins
