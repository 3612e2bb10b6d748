// The identifiers the M clock's tables are keyed by, as raw bytes on the
// wire and hex text at the interface.
#pragma once

#include <cstddef>

namespace skylark {

inline constexpr std::size_t kRaceKeyBytes = 8;    // 16 hex digits
inline constexpr std::size_t kCardEntryBytes = 8;  // a ring number and two more bytes
inline constexpr std::size_t kRingBytes = 6;       // 12 hex digits

}  // namespace skylark
