// The identifiers the clocks' tables are keyed by, as raw bytes on the wire
// and hex text at the interface.
#pragma once

#include <cstddef>

#include "frame/fields.h"

namespace skylark {

inline constexpr std::size_t kRaceKeyBytes = 8;    // 16 hex digits
inline constexpr std::size_t kCardEntryBytes = 8;  // a ring number and two more bytes
inline constexpr std::size_t kRingBytes = 6;       // 12 hex digits

// The ring field that keys cards in registry, race and training blocks: the
// ring number from hex text (short texts leave zeros), then two zero bytes.
//   0 ring number 6 | 6 00 00 | 8
inline Params& ringField(Params& p, const char* ringHex) {
    return p.hex(ringHex, kRingBytes).zeros(kCardEntryBytes - kRingBytes);
}

// The same field in a reply: the ring number as hex text; the two bytes after
// it carry nothing and are passed over.
inline void readRingField(ReplyReader& r, char* ringHex) {
    r.hex(kRingBytes, ringHex);
    r.skip(kCardEntryBytes - kRingBytes);
}

}  // namespace skylark
