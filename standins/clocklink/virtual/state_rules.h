// The invariants of a virtual clock's state, stated once. A clock only ever
// reaches states that keep them; a reader of a saved clock (of any version)
// accepts a state only when checkState finds nothing wrong, and CLV_Save
// writes only such a state. The clock's own commands use the predicates
// below for the same facts.
//
// A violation names the field by a JSON pointer over the clock's fields, as
// the saved file (version 1) spells them: /races/1/cards/3,
// /log/entries/0/number, /settings/phone.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "standins/clocklink/virtual/clock_state.h"

namespace standins::vclock {

struct Violation {
    std::string where;  // JSON pointer
    std::string what;   // what is wrong, in a few words
};

// True when s keeps every invariant; otherwise false with the first
// violation found in *v.
bool checkState(const ClockState& s, Violation* v);

// ---- Facts the clock's commands check too ----

// A password as the clock keeps it: characters (non-zero bytes), then zeros.
bool validPassword(const std::array<std::uint8_t, 8>& password);
// A site coordinate: hundreds 0-9, then five BCD bytes.
bool validCoordinate(const std::uint8_t* p);
// A packed dial string of 16 bytes: symbols 0 (unused) and 1-0xD only.
bool validPhone(const std::uint8_t* p);
// An H race card: ring 6 | 00 00 | card code 8 | card time 6 (a real date-time).
bool validHCard(const HCard& card);
// A clock time: 1 January 2000 to 31 December 2099.
bool validTime(Seconds s);

// The data length the clock logs with an entry type, or -1 for a type this
// kind of clock never logs.
int logDataLength(ClockKind kind, std::uint8_t type);

}  // namespace standins::vclock
