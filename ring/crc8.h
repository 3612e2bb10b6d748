// The CRC-8 of the ring tag's check bytes: polynomial 0x1D
// (x^8 + x^4 + x^3 + x^2 + 1), initial value 0xFF, most significant bit
// first, no reflection and no final XOR. Table driven; the table is worked
// out from the polynomial by the compiler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skylark {

namespace crc8_detail {

inline constexpr std::uint8_t kPolynomial = 0x1D;

struct Table {
    std::uint8_t entry[256];
};

// entry[b]: b shifted through the register eight times, the polynomial
// XORed in whenever a 1 bit leaves at the top.
constexpr Table makeTable() {
    Table t{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned crc = b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) != 0 ? ((crc << 1) ^ kPolynomial) & 0xFF : (crc << 1) & 0xFF;
        t.entry[b] = static_cast<std::uint8_t>(crc);
    }
    return t;
}

inline constexpr Table kTable = makeTable();

}  // namespace crc8_detail

inline constexpr std::uint8_t kCrc8Initial = 0xFF;

// The CRC-8 of n bytes (n may be 0: the initial value).
constexpr std::uint8_t crc8(const std::uint8_t* data, std::size_t n) {
    std::uint8_t crc = kCrc8Initial;
    for (std::size_t i = 0; i < n; ++i) crc = crc8_detail::kTable.entry[crc ^ data[i]];
    return crc;
}

namespace crc8_detail {
constexpr std::uint8_t kCheckInput[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert(crc8(kCheckInput, sizeof kCheckInput) == 0xB4, "CRC-8 check value");
}  // namespace crc8_detail

}  // namespace skylark
