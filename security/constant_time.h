// Constant-time byte comparison, for checking codes a device sends against
// the ones we compute without leaking where they first differ.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skylark {

// Whether a[0 .. n-1] equals b[0 .. n-1]; every byte is looked at.
inline bool equalConstantTime(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < n; ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace skylark
