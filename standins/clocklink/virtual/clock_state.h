// What a virtual clock holds: everything CLV_Save writes, for the three
// kinds (a clock uses the part of its kind). The channel's session state
// (authentication, randoms, faults) lives with the device, not here.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <unordered_set>
#include <vector>

#include "standins/clocklink/virtual/clock_time.h"

namespace standins::vclock {

enum class ClockKind : int { M = 1, S = 2, H = 3 };

// Capacities, as documented in virtual_clock.h.
constexpr std::size_t kMaxRaces = 32;
constexpr std::size_t kMaxRaceCards = 10000;
constexpr std::size_t kMaxArrivals = 10000;
constexpr std::size_t kMaxTrainings = 16;
constexpr std::size_t kMaxTrainRings = 2000;
constexpr std::size_t kMaxTrainArrivals = 2000;
constexpr std::size_t kTrainSites = 16;
constexpr std::size_t kMaxRegistry = 5000;
constexpr std::size_t kChannels = 8;
constexpr std::size_t kTouchTypes = 8;
constexpr std::size_t kMaxLog = 2000;
constexpr std::size_t kMaxLogData = 25;
// Log numbers run from 1 to kLastLogNumber; once it is given, the clock logs
// nothing more (nextLogNumber stays one past it).
constexpr std::uint32_t kLastLogNumber = 0xFFFFFFFEu;
// Training numbers run from 1 to kLastTrainNumber and are never given twice;
// once the last is given the clock creates no more flights.
constexpr std::uint32_t kLastTrainNumber = 0xFFFF;

using Ring = std::array<std::uint8_t, 6>;
using Key = std::array<std::uint8_t, 8>;
using Bcd = std::array<std::uint8_t, 6>;

// A ring number (6 bytes) as one number, for the sets that find a ring
// among thousands of cards and arrivals at once.
inline std::uint64_t ringId(const std::uint8_t* ring) {
    std::uint64_t v = 0;
    for (int i = 0; i < 6; ++i) v = v << 8 | ring[i];
    return v;
}

// The rings of a race's cards and of its arrivals, alongside the lists.
struct RingSets {
    std::unordered_set<std::uint64_t> entered, arrived;
};

enum class EntryState : int { Created = 0, Confirmed = 1, Closed = 2 };

struct Arrival {
    Ring ring{};
    Seconds time = 0;
    bool downloaded = false;  // S clock's second counter
};

// The bookkeeping every race shares: its cards as added (each starting with
// its ring), its arrivals, and the sets of their rings kept alongside.
template <class Card>
struct RaceEntries {
    std::vector<Card> cards;
    std::vector<Arrival> arrivals;
    RingSets rings;  // kept with every card and arrival added

    void addCard(const Card& card) {
        cards.push_back(card);
        rings.entered.insert(ringId(card.data()));
    }
    void addArrival(const Arrival& a) {
        arrivals.push_back(a);
        rings.arrived.insert(ringId(a.ring.data()));
    }
};

// A race of the M clock; its cards are the 8-byte card entries.
struct Race : RaceEntries<Key> {
    Key key{};
    Bcd time1{}, time2{};
    std::uint32_t param = 0;
    EntryState state = EntryState::Created;
    std::uint16_t confirmValue = 0;
    Key confirmData{};
};

struct Training {
    std::uint16_t number = 0;
    Bcd time1{}, time2{};
    std::uint8_t byte = 0;
    EntryState state = EntryState::Created;
    std::uint16_t confirmValue = 0;
    std::vector<Ring> rings;
    std::vector<Arrival> arrivals;
};

// A registry entry as the clock returns it (CardRecord, 31 bytes).
using CardRecord = std::array<std::uint8_t, 31>;

struct LogEntry {
    std::uint32_t number = 0;
    std::uint8_t type = 0;
    Seconds time = 0;
    std::vector<std::uint8_t> data;  // at most kMaxLogData bytes
};

// The H clock's race card: ring (6), two zero bytes, card code (8), card time (6).
using HCard = std::array<std::uint8_t, 22>;

struct MState {
    std::vector<Race> races;
    std::vector<Training> trainings;
    std::uint32_t nextTrainNumber = 1;  // 1 to kLastTrainNumber + 1
    std::vector<CardRecord> registry;
    std::array<std::array<std::uint8_t, 4>, kChannels> channels{};
    std::array<std::array<std::uint8_t, 4>, kTouchTypes> touchTypes{};
    std::array<std::uint8_t, 16> site{};
    std::array<std::uint8_t, 16> phone{};
    std::array<std::uint8_t, 16> staff{};
    std::array<std::uint32_t, kTrainSites> trainSites{};
};

// The single race of an S or H clock; cards only on the H clock.
struct SingleRace : RaceEntries<HCard> {
    bool present = false;
    Key key{};
    Bcd time1{}, time2{};         // S clock
    bool confirmed = false;       // H clock
    std::uint16_t confirmValue = 0;
};

struct ClockState {
    ClockKind kind = ClockKind::M;
    std::uint32_t serial = 0;
    // The password as the clock holds it: the bytes SK_InitDevEx folded into
    // the access code (zero past the end of the password).
    std::array<std::uint8_t, 8> password{};
    bool initialised = false;
    bool isp = false;
    // Running time: `base` and `baseFraction` milliseconds at the host's
    // steady-clock instant `baseAt` (milliseconds), advancing `speed`
    // clock seconds per host second unless frozen.
    Seconds base = 0;
    std::int64_t baseFraction = 0;  // 0 to 999
    std::int64_t baseAt = 0;
    bool frozen = false;
    double speed = 1;
    std::deque<LogEntry> log;  // oldest first
    std::uint32_t nextLogNumber = 1;
    std::array<std::uint8_t, 16> cardData{};  // S and H: what SKS_ReadCard reads
    // A seeded clock (CLV_SetSeed) draws its device randoms from `stream`
    // instead of the system's random source.
    bool seeded = false;
    std::uint32_t seed = 0;
    std::uint64_t stream = 0;
    MState m;
    SingleRace single;

    bool hasPassword() const {
        for (auto b : password)
            if (b != 0) return true;
        return false;
    }
};

}  // namespace standins::vclock
