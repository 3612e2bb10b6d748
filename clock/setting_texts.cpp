#include "clock/setting_texts.h"

#include <cstdio>
#include <cstring>

#include "frame/fields.h"

namespace skylark {

namespace {

// Coordinate text positions.
constexpr std::size_t kCoordChars = 12;
constexpr std::size_t kWholePairAt = 1;     // positions 1-2
constexpr std::size_t kFractionAt = 4;      // positions 4-11
constexpr std::size_t kFractionDigits = 8;

// Phone symbols other than the digits 1-9.
constexpr std::uint8_t kSymbolZero = 0xA;
constexpr std::uint8_t kSymbolStar = 0xB;
constexpr std::uint8_t kSymbolHash = 0xC;
constexpr std::uint8_t kSymbolPause = 0xD;

// The four-bit value of a dial character, or 0 for one that ends the dial
// string.
std::uint8_t dialSymbol(char c) {
    if (c >= '1' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    switch (c) {
        case '0': return kSymbolZero;
        case '*': return kSymbolStar;
        case '#': return kSymbolHash;
        case ',': return kSymbolPause;
        default: return 0;
    }
}

// The dial character of a four-bit value; 0 reads as the terminator.
char dialChar(std::uint8_t symbol) {
    if (symbol == 0) return '\0';
    if (symbol <= 9) return static_cast<char>('0' + symbol);
    switch (symbol) {
        case kSymbolZero: return '0';
        case kSymbolStar: return '*';
        case kSymbolHash: return '#';
        default: return ',';
    }
}

}  // namespace

void coordToWire(const char* text, std::uint8_t wire[kCoordBytes]) {
    // The text by position, up to its NUL; positions it lacks are '0'.
    char t[kCoordChars];
    std::memset(t, '0', sizeof t);
    for (std::size_t i = 0; i < kCoordChars && text[i] != '\0'; ++i) t[i] = text[i];

    // Each digit run is decoded on its own, so a stray character in one
    // run never pulls in the digits of the next.
    char whole[3] = {t[kWholePairAt], t[kWholePairAt + 1], '\0'};
    char fraction[kFractionDigits + 1] = {};
    std::memcpy(fraction, t + kFractionAt, kFractionDigits);

    wire[0] = static_cast<std::uint8_t>(t[0] - '0');
    putHexField(wire + 1, 1, whole);
    putHexField(wire + 2, 4, fraction);
}

void coordFromWire(const std::uint8_t wire[kCoordBytes], char* text) {
    std::snprintf(text, kCoordTextSize, "%01X%02X.%02X%02X%02X%02X", unsigned{wire[0]},
                  unsigned{wire[1]}, unsigned{wire[2]}, unsigned{wire[3]}, unsigned{wire[4]},
                  unsigned{wire[5]});
}

void phoneToWire(const char* dial, std::uint8_t wire[kPhoneBytes]) {
    std::memset(wire, 0, kPhoneBytes);
    for (std::size_t i = 0; i < kPhoneSymbols; ++i) {
        const std::uint8_t symbol = dialSymbol(dial[i]);
        if (symbol == 0) break;
        wire[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? symbol << 4 : symbol);
    }
}

void phoneFromWire(const std::uint8_t wire[kPhoneBytes], char* text) {
    for (std::size_t i = 0; i < kPhoneBytes; ++i) {
        text[2 * i] = dialChar(wire[i] >> 4);
        text[2 * i + 1] = dialChar(wire[i] & 0x0F);
    }
    text[kPhoneSymbols] = '\0';
}

void staffToWire(const char* text, std::uint8_t wire[kStaffBytes]) {
    std::memset(wire, 0, kStaffBytes);
    for (std::size_t i = 0; i < kStaffBytes && text[i] != '\0'; ++i)
        wire[i] = static_cast<std::uint8_t>(text[i]);
}

void staffFromWire(char* buffer, std::uint32_t delivered) {
    buffer[delivered < kStaffBytes ? delivered : kStaffBytes] = '\0';
}

}  // namespace skylark
