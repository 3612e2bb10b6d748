// Race day on a virtual clock: every bird of a confirmed race flies from a
// liberation point to the loft and is clocked in at its arrival.
#pragma once

#include <cstdint>
#include <vector>

#include "standins/clocklink/virtual/clock_state.h"
#include "skylark/virtual_clock.h"

namespace standins::vclock {

class VirtualClock;

struct FlyPlan {
    std::uint32_t raceIndex = 0;     // M clock; ignored on H
    double libLat = 0, libLon = 0;   // liberation, degrees
    Seconds release = 0;             // liberation time
    bool loftFromSite = true;        // else loftLat, loftLon
    double loftLat = 0, loftLon = 0;
    std::uint32_t seed = 0;
    double meanVelocity = 1200;      // m/min
    double spread = 60;              // standard deviation, m/min
    double lostShare = 0;            // 0..1: birds that do not return that day
};

// One bird of the day, in arrival order (lost birds last, in card order).
struct Flight {
    Ring ring{};
    bool lost = false;
    Seconds arrival = 0;  // liberation + flying time, whole seconds
    int result = 0;       // CLV_OK when the clock recorded it, else its refusal
};

struct FlyResult {
    double distance = 0;  // metres, to the millimetre
    std::vector<Flight> flights;
};

// The birds of the day: who flies, their flying times, the order they
// arrive in. Deterministic for a plan: a fixed generator (xoshiro256**
// seeded through splitmix64), velocities from integer draws, one distance;
// the arithmetic runs in round-to-nearest whatever the caller's mode.
// Returns CLV_OK or a refusal; the clock is not changed.
int planFlights(const ClockState& s, const FlyPlan& plan, FlyResult& out);

// Flies the race: plans it, moves the clock's time on past the last
// arrival (a frozen clock stays frozen there) and records every arrival the
// clock accepts, in arrival order. The clock's lock is held.
int flyRace(VirtualClock& clock, const FlyPlan& plan, FlyResult& out);

// The summary CLV_Fly reports: velocities from the whole seconds flown.
void summarise(const FlyResult& result, Seconds release, CLV_FlySummary& out);

// The loft as the M clock's site information holds it: the first
// coordinate the latitude (degrees north), the second the longitude
// (degrees east, 180 to 360 for the west). False when no site is set.
bool siteLoft(const ClockState& s, double& lat, double& lon);

}  // namespace standins::vclock
