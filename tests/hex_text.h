// Hex written in tests, in both directions, decoded and encoded here rather
// than by the codec under test. Shared by the unit suites (support.h) and
// the end-to-end suites, which see nothing else of the library's insides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test {

using Bytes = std::vector<std::uint8_t>;

// Bytes of a hex string written in a test ("0A 1b-FF"): spaces, dashes and
// anything else but hex digits are skipped.
inline Bytes hex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// Upper-case hex text of len bytes.
inline std::string hexText(const std::uint8_t* data, std::size_t len) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < len; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

inline std::string hexText(const Bytes& bytes) { return hexText(bytes.data(), bytes.size()); }

}  // namespace test
