// Race day on the virtual clocks (CLV_Fly): distances on the ellipsoid,
// arrivals in order, deterministic per seed, the clock's own rules.
#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr double kRelease = 46158.25;  // 16 May 2026 06:00
constexpr double kSecond = 1.0 / 86400;
constexpr const char* kRaceKey = "0102030405060708";
// Liberation at Paris, the loft in Amsterdam: 430,243.200 m on WGS84
// (GeographicLib's Inverse).
constexpr double kLibLat = 48.8566, kLibLon = 2.3522, kLoftLat = 52.3676, kLoftLon = 4.9041;
constexpr double kDistance = 430243.200;

std::string ring(int i) {
    char text[13];
    std::snprintf(text, sizeof text, "DE%010d", i);
    return text;
}

struct Arrival {
    std::string ring;
    double date;
    bool operator==(const Arrival& o) const { return ring == o.ring && date == o.date; }
};

// An M clock, authenticated, frozen at 05:00 on race day, with a confirmed
// race of `birds` rings.
struct RaceClock {
    SK_ULONG h;
    explicit RaceClock(int birds, int kind = CLV_KIND_M) : h(CLV_Open(kind)) {
        CLV_FreezeClock(h, 1);
        EXPECT_NE(SK_InitDevEx(h, "loft7"), 0);
        EXPECT_NE(SK_ConnectEx(h, "loft7"), 0);
        CLV_SetClockTime(h, kRelease - 1.0 / 24);
        if (birds == 0) return;
        if (kind == CLV_KIND_M) {
            EXPECT_EQ(SKM_CreateRace(h, kRaceKey, kRelease, kRelease + 2, 0), -1);
            for (int i = 1; i <= birds; ++i) EXPECT_EQ(SKM_AddRaceCard(h, (ring(i) + "0000").c_str()), -1);
            EXPECT_EQ(SKM_ConfirmRace(h, kRaceKey, 1, "CONFIRM!"), -1);
        } else if (kind == CLV_KIND_H) {
            EXPECT_EQ(SKH_CreateRace(h, kRaceKey), -1);
            for (int i = 1; i <= birds; ++i)
                EXPECT_NE(SKH_AddRaceCard(h, ring(i).c_str(), "0000000000000000", kRelease), 0);
            EXPECT_NE(SKH_ConfirmRace(h, kRaceKey, 1), 0);
        }
    }
    ~RaceClock() { CLV_Close(h); }

    int fly(CLV_ULONG seed, CLV_FlySummary* sum, double lost = 0, double loftLat = kLoftLat,
            double loftLon = kLoftLon) {
        return CLV_Fly(h, 0, kLibLat, kLibLon, kRelease, loftLat, loftLon, seed, 0, -1, lost, sum);
    }
    std::vector<Arrival> arrivals() {
        CLV_ULONG n = 0;
        EXPECT_EQ(CLV_GetArrivalCount(h, 0, &n), CLV_OK);
        std::vector<Arrival> out;
        for (CLV_ULONG i = 0; i < n; ++i) {
            char text[13];
            double date = 0;
            EXPECT_EQ(CLV_GetArrival(h, 0, i, text, &date), CLV_OK);
            out.push_back({text, date});
        }
        return out;
    }
    double time() {
        double t = 0;
        CLV_GetClockTime(h, &t);
        return t;
    }
};

double seconds(double date) { return std::round((date - kRelease) * 86400); }

TEST(RaceDay, EveryBirdArrivesInOrderAtItsVelocity) {
    RaceClock c(200);
    CLV_FlySummary sum{};
    ASSERT_EQ(c.fly(7, &sum), CLV_OK);
    EXPECT_NEAR(sum.distance, kDistance, 0.001);
    EXPECT_EQ(sum.birds, 200u);
    EXPECT_EQ(sum.arrived, 200u);
    EXPECT_EQ(sum.lost + sum.refused + sum.refusal, 0u);

    const std::vector<Arrival> a = c.arrivals();
    ASSERT_EQ(a.size(), 200u);
    double total = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i > 0) {
            EXPECT_LE(a[i - 1].date, a[i].date) << i;
        }
        const double v = sum.distance / (seconds(a[i].date) / 60);
        EXPECT_GT(v, 1200 - 6 * 60 - 1);  // within six deviations of the default
        EXPECT_LT(v, 1200 + 6 * 60 + 1);
        total += v;
    }
    EXPECT_NEAR(total / 200, 1200, 20);  // the default mean, 200 birds
    EXPECT_NEAR(sum.meanVelocity, total / 200, 1e-6);
    EXPECT_EQ(sum.firstArrival, a.front().date);
    EXPECT_EQ(sum.lastArrival, a.back().date);
    EXPECT_NEAR(sum.fastest, sum.distance / (seconds(a.front().date) / 60), 1e-9);
    EXPECT_NEAR(sum.slowest, sum.distance / (seconds(a.back().date) / 60), 1e-9);
    // The frozen clock now stands a second past the last bird, still frozen.
    EXPECT_NEAR(c.time(), sum.lastArrival + kSecond, 1e-9);
    // It lived through the day: the log has each arrival at its own time.
    CLV_ULONG newest = 0;
    ASSERT_EQ(CLV_GetLogCount(c.h, &newest), CLV_OK);
    ASSERT_GE(newest, 200u);
    for (CLV_ULONG i = 0; i < 200; ++i) {
        unsigned char type = 0;
        double date = 0;
        char data[64];
        ASSERT_EQ(CLV_GetLogEntry(c.h, newest - 199 + i, &type, &date, data), CLV_OK);
        EXPECT_EQ(type, CLV_LOG_ARRIVAL);
        EXPECT_NEAR(date, a[i].date, 1e-9) << i;
    }
}

TEST(RaceDay, SameSeedSameDayOtherSeedAnotherDay) {
    RaceClock a(50), b(50), other(50);
    CLV_FlySummary s1{}, s2{}, s3{};
    ASSERT_EQ(a.fly(42, &s1, 0.1), CLV_OK);
    ASSERT_EQ(b.fly(42, &s2, 0.1), CLV_OK);
    ASSERT_EQ(other.fly(43, &s3, 0.1), CLV_OK);
    EXPECT_EQ(a.arrivals(), b.arrivals());
    EXPECT_EQ(s1.lastArrival, s2.lastArrival);
    EXPECT_NE(a.arrivals(), other.arrivals());
    EXPECT_EQ(s1.lost, 5u);  // a tenth of 50, exactly
    EXPECT_EQ(s1.arrived, 45u);
}

TEST(RaceDay, TheCallersRoundingModeChangesNothing) {
    RaceClock nearest(30), upward(30);
    ASSERT_EQ(nearest.fly(9, nullptr), CLV_OK);
    const int mode = std::fegetround();
    std::fesetround(FE_UPWARD);
    const int err = upward.fly(9, nullptr);
    const int after = std::fegetround();
    std::fesetround(mode);
    ASSERT_EQ(err, CLV_OK);
    EXPECT_EQ(after, FE_UPWARD);  // the caller's mode is given back
    EXPECT_EQ(nearest.arrivals(), upward.arrivals());
}

TEST(RaceDay, TheClockKeepsItsRules) {
    RaceClock c(10);
    CLV_FlySummary sum{};
    ASSERT_EQ(c.fly(1, &sum), CLV_OK);
    // Flown again: every ring has arrived already.
    ASSERT_EQ(c.fly(1, &sum), CLV_OK);
    EXPECT_EQ(sum.arrived, 0u);
    EXPECT_EQ(sum.refused, 10u);
    EXPECT_EQ(sum.refusal, static_cast<CLV_ULONG>(CLV_ERR_EXISTS));
    EXPECT_EQ(c.arrivals().size(), 10u);
}

TEST(RaceDay, Refusals) {
    RaceClock m(3);
    CLV_FlySummary sum{};
    sum.birds = 77;
    struct Case {
        const char* name;
        CLV_ULONG race;
        double lat, lon, release, loftLat, loftLon, mean, spread, lost;
        int err;
    } cases[] = {
        {"no such race", 1, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 0, -1, 0, CLV_ERR_NOT_FOUND},
        {"latitude beyond the pole", 0, 91, kLibLon, kRelease, kLoftLat, kLoftLon, 0, -1, 0, CLV_ERR_BAD_ARGUMENT},
        {"loft not a number", 0, kLibLat, kLibLon, kRelease, NAN, kLoftLon, 0, -1, 0, CLV_ERR_BAD_ARGUMENT},
        {"release before 2000", 0, kLibLat, kLibLon, 100.0, kLoftLat, kLoftLon, 0, -1, 0, CLV_ERR_BAD_ARGUMENT},
        {"share above one", 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 0, -1, 1.5, CLV_ERR_BAD_ARGUMENT},
        {"no site information", 0, kLibLat, kLibLon, kRelease, CLV_LOFT_FROM_SITE, CLV_LOFT_FROM_SITE, 0, -1, 0, CLV_ERR_BAD_STATE},
    };
    for (const Case& k : cases)
        EXPECT_EQ(CLV_Fly(m.h, k.race, k.lat, k.lon, k.release, k.loftLat, k.loftLon, 1, k.mean,
                          k.spread, k.lost, &sum),
                  k.err)
            << k.name;
    EXPECT_EQ(sum.birds, 77u);  // untouched
    EXPECT_TRUE(m.arrivals().empty());

    RaceClock notConfirmed(0);
    ASSERT_EQ(SKM_CreateRace(notConfirmed.h, "1111111111111111", kRelease, kRelease + 1, 0), -1);
    EXPECT_EQ(CLV_Fly(notConfirmed.h, 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 1, 0, -1, 0,
                      nullptr),
              CLV_ERR_BAD_STATE);
    RaceClock s(0, CLV_KIND_S);
    EXPECT_EQ(s.fly(1, nullptr), CLV_ERR_UNKNOWN_COMMAND);
    EXPECT_EQ(CLV_Fly(0xDEAD, 0, 0, 0, kRelease, 1, 1, 1, 0, -1, 0, nullptr), CLV_ERR_NO_CHANNEL);
}

TEST(RaceDay, TheLoftFromTheSiteInformation) {
    RaceClock site(20), given(20);
    // Latitude first, longitude second (east; 180 to 360 for the west).
    ASSERT_EQ(SKM_SetSiteInfo(site.h, "0000002A", "052.36760000", "004.90410000"), -1);
    CLV_FlySummary a{}, b{};
    ASSERT_EQ(site.fly(5, &a, 0, CLV_LOFT_FROM_SITE, CLV_LOFT_FROM_SITE), CLV_OK);
    ASSERT_EQ(given.fly(5, &b), CLV_OK);
    EXPECT_EQ(a.distance, b.distance);
    EXPECT_EQ(site.arrivals(), given.arrivals());
    // A loft at 4.25 degrees west, written as 355.75 east.
    RaceClock west(5);
    ASSERT_EQ(SKM_SetSiteInfo(west.h, "0000002A", "050.90000000", "355.75000000"), -1);
    ASSERT_EQ(CLV_Fly(west.h, 0, 49.5, -6.25, kRelease, CLV_LOFT_FROM_SITE, CLV_LOFT_FROM_SITE, 1, 0, -1,
                      0, &a),
              CLV_OK);
    EXPECT_NEAR(a.distance, 211269.050, 0.001);  // GeographicLib's Inverse
}

TEST(RaceDay, HClockFliesItsRaceCards) {
    RaceClock h(12, CLV_KIND_H);
    CLV_FlySummary sum{};
    ASSERT_EQ(h.fly(3, &sum, 0.25), CLV_OK);
    EXPECT_EQ(sum.birds, 12u);
    EXPECT_EQ(sum.lost, 3u);
    EXPECT_EQ(h.arrivals().size(), 9u);
}

TEST(RaceDay, ARunningClockRunsOnFromPastTheLastBird) {
    RaceClock c(5);
    CLV_FreezeClock(c.h, 0);
    CLV_FlySummary sum{};
    ASSERT_EQ(c.fly(2, &sum), CLV_OK);
    EXPECT_GE(c.time(), sum.lastArrival + kSecond - 1e-9);
    EXPECT_LT(c.time(), sum.lastArrival + 5 * kSecond);
}

// ---- The speed of a clock's time ------------------------------------------------

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whole seconds from a to b.
double secondsBetween(double a, double b) { return std::round((b - a) * 86400); }

TEST(ClockSpeed, ARunningClockAdvancesFactorSecondsPerSecond) {
    RaceClock c(0);
    double speed = 0;
    ASSERT_EQ(CLV_GetSpeed(c.h, &speed), CLV_OK);
    EXPECT_EQ(speed, 1.0);  // a fresh clock
    ASSERT_EQ(CLV_FreezeClock(c.h, 0), CLV_OK);
    ASSERT_EQ(CLV_SetSpeed(c.h, 3600), CLV_OK);
    ASSERT_EQ(CLV_GetSpeed(c.h, &speed), CLV_OK);
    EXPECT_EQ(speed, 3600.0);
    const double t0 = c.time();
    sleepMs(50);  // at least 50 ms: at least 180 clock seconds, less the second under way
    EXPECT_GE(secondsBetween(t0, c.time()), 179);
    // Whole seconds still: the clock shows no fraction of a second.
    const double t = c.time();
    const double fromRelease = (t - kRelease) * 86400;
    EXPECT_NEAR(fromRelease, std::round(fromRelease), 1e-4);
}

TEST(ClockSpeed, TheTimeGoesOnFromWhereItStandsAtAChange) {
    RaceClock c(0);
    CLV_FreezeClock(c.h, 0);
    CLV_SetSpeed(c.h, 3600);
    const double start = c.time();
    sleepMs(50);
    const double fast = c.time();
    ASSERT_GE(secondsBetween(start, fast), 179);
    // Slowed down: it would fall back to near its start if it were not
    // anchored again where it stood.
    ASSERT_EQ(CLV_SetSpeed(c.h, 0.001), CLV_OK);
    EXPECT_GE(c.time(), fast);
    // Setting the same time again anchors it there too.
    CLV_SetClockTime(c.h, kRelease);
    ASSERT_EQ(CLV_SetSpeed(c.h, 3600), CLV_OK);
    EXPECT_GE(c.time(), kRelease);
}

TEST(ClockSpeed, AFrozenClockStaysFrozenUntilItRuns) {
    RaceClock c(0);  // frozen
    ASSERT_EQ(CLV_SetSpeed(c.h, 3600), CLV_OK);
    const double t0 = c.time();
    sleepMs(30);
    EXPECT_EQ(c.time(), t0);
    CLV_FreezeClock(c.h, 0);
    sleepMs(30);
    EXPECT_GE(secondsBetween(t0, c.time()), 107);  // then at its speed
}

TEST(ClockSpeed, Refusals) {
    RaceClock c(0);
    for (double bad : {0.0, -1.0, std::nan(""), 3600.001, HUGE_VAL, -HUGE_VAL})
        EXPECT_EQ(CLV_SetSpeed(c.h, bad), CLV_ERR_BAD_ARGUMENT) << bad;
    double speed = 0;
    ASSERT_EQ(CLV_GetSpeed(c.h, &speed), CLV_OK);
    EXPECT_EQ(speed, 1.0);  // nothing refused changed it
    EXPECT_EQ(CLV_SetSpeed(c.h, 1e-6), CLV_OK);
    EXPECT_EQ(CLV_SetSpeed(c.h, CLV_MAX_SPEED), CLV_OK);
    EXPECT_EQ(CLV_GetSpeed(c.h, nullptr), CLV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CLV_SetSpeed(0xDEAD, 2), CLV_ERR_NO_CHANNEL);
    EXPECT_EQ(CLV_GetSpeed(0xDEAD, &speed), CLV_ERR_NO_CHANNEL);
}

// ---- Live flights ----------------------------------------------------------------

constexpr CLV_ULONG kLongWait = 60000;  // ms; a flight at speed 3600 takes about a second

// A running race clock at a speed, its time at the release.
struct LiveClock : RaceClock {
    explicit LiveClock(int birds, double speed = 3600, int kind = CLV_KIND_M) : RaceClock(birds, kind) {
        CLV_SetClockTime(h, kRelease);
        CLV_FreezeClock(h, 0);
        CLV_SetSpeed(h, speed);
    }
    int flyLive(CLV_ULONG seed, CLV_FlySummary* sum, double lost = 0) {
        return CLV_FlyLive(h, 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, seed, 0, -1, lost, sum);
    }
    CLV_LiveFlight status() {
        CLV_LiveFlight st{};
        EXPECT_EQ(CLV_GetLiveFlight(h, &st), CLV_OK);
        return st;
    }
};

void expectSameSummary(const CLV_FlySummary& a, const CLV_FlySummary& b) {
    EXPECT_EQ(a.distance, b.distance);
    EXPECT_EQ(a.firstArrival, b.firstArrival);
    EXPECT_EQ(a.lastArrival, b.lastArrival);
    EXPECT_EQ(a.fastest, b.fastest);
    EXPECT_EQ(a.slowest, b.slowest);
    EXPECT_EQ(a.meanVelocity, b.meanVelocity);
    EXPECT_EQ(a.birds, b.birds);
    EXPECT_EQ(a.arrived, b.arrived);
    EXPECT_EQ(a.lost, b.lost);
    EXPECT_EQ(a.refused, b.refused);
    EXPECT_EQ(a.refusal, b.refusal);
}

TEST(LiveFlight, RecordsWhatFlyRecordsEachWhenTheClockReachesIt) {
    for (const int kind : {CLV_KIND_M, CLV_KIND_H}) {
        RaceClock at_once(40, kind);
        CLV_FlySummary flown{};
        ASSERT_EQ(at_once.fly(11, &flown, 0.1), CLV_OK);

        LiveClock live(40, 3600, kind);
        CLV_FlySummary planned{};
        ASSERT_EQ(live.flyLive(11, &planned, 0.1), CLV_OK);
        expectSameSummary(planned, flown);
        CLV_LiveFlight st = live.status();
        EXPECT_EQ(st.running, 1u);
        EXPECT_EQ(st.planned, flown.arrived);
        EXPECT_EQ(st.recorded, 0u);  // the first bird is hours away in the clock's time
        EXPECT_EQ(st.pending, flown.arrived);
        EXPECT_EQ(st.nextArrival, flown.firstArrival);
        EXPECT_TRUE(live.arrivals().empty());
        // On to shortly before the first bird; then the day passes at its speed.
        ASSERT_EQ(CLV_SetClockTime(live.h, flown.firstArrival - 30 * kSecond), CLV_OK);
        ASSERT_EQ(CLV_WaitLiveFlight(live.h, kLongWait, &st), CLV_OK);
        EXPECT_EQ(st.running, 0u);
        EXPECT_EQ(st.recorded, flown.arrived);
        EXPECT_EQ(st.refused + st.pending, 0u);
        EXPECT_EQ(live.arrivals(), at_once.arrivals()) << "kind " << kind;
        EXPECT_GE(live.time(), flown.lastArrival);  // never an arrival ahead of the clock
    }
}

TEST(LiveFlight, AHostDownloadsTheArrivalsAsTheyCome) {
    RaceClock at_once(30);
    ASSERT_EQ(at_once.fly(5, nullptr), CLV_OK);
    const std::vector<Arrival> expected = at_once.arrivals();

    LiveClock live(30);
    CLV_FlySummary planned{};
    ASSERT_EQ(live.flyLive(5, &planned), CLV_OK);
    ASSERT_EQ(CLV_SetClockTime(live.h, planned.firstArrival - 20 * kSecond), CLV_OK);
    // The host polls the clock through the library, as during a real race.
    std::vector<double> downloaded;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWait);
    while (downloaded.size() < expected.size() && std::chrono::steady_clock::now() < giveUp) {
        char record[33], lead[9];
        double at = 0;
        if (SKM_GetRaceRecord(live.h, 0, static_cast<SK_ULONG>(downloaded.size()), record, &at, lead) == 0) {
            sleepMs(2);
            continue;
        }
        // Never an arrival from the clock's future.
        double clockTime = 0;
        ASSERT_NE(SK_GetTime(live.h, &clockTime), 0);
        EXPECT_LE(at, clockTime + 1e-9);
        downloaded.push_back(at);
    }
    ASSERT_EQ(downloaded.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(downloaded[i], expected[i].date, 1e-9) << i;
    CLV_LiveFlight st{};
    ASSERT_EQ(CLV_WaitLiveFlight(live.h, kLongWait, &st), CLV_OK);
    EXPECT_EQ(st.running, 0u);
}

TEST(LiveFlight, TheClocksTimeLeadsTheFlight) {
    LiveClock live(20, 1);  // at the host's pace: hours to the first bird
    CLV_FlySummary planned{};
    ASSERT_EQ(live.flyLive(3, &planned), CLV_OK);
    const std::vector<Arrival> none = live.arrivals();
    EXPECT_TRUE(none.empty());
    // Frozen between two birds: those before are recorded, the rest wait.
    CLV_FreezeClock(live.h, 1);
    RaceClock at_once(20);
    ASSERT_EQ(at_once.fly(3, nullptr), CLV_OK);
    const std::vector<Arrival> all = at_once.arrivals();
    ASSERT_EQ(all.size(), 20u);
    CLV_SetClockTime(live.h, all[9].date);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWait);
    std::size_t expected = 0;
    while (expected < all.size() && all[expected].date <= all[9].date) ++expected;
    while (live.status().recorded < expected && std::chrono::steady_clock::now() < giveUp) sleepMs(2);
    CLV_LiveFlight st = live.status();
    EXPECT_EQ(st.recorded, expected);
    EXPECT_EQ(st.running, 1u);
    EXPECT_EQ(st.pending, all.size() - expected);
    // A save now holds what arrived so far, and the loaded clock is not in flight.
    const std::string file = ::testing::TempDir() + "live_saved.json";
    ASSERT_EQ(CLV_Save(live.h, file.c_str()), CLV_OK);
    int err = 0;
    const CLV_ULONG loaded = CLV_Load(file.c_str(), &err);
    ASSERT_NE(loaded, 0u) << CLV_ErrorText(err);
    CLV_ULONG n = 0;
    EXPECT_EQ(CLV_GetArrivalCount(loaded, 0, &n), CLV_OK);
    EXPECT_EQ(n, expected);
    CLV_LiveFlight loadedStatus{};
    EXPECT_EQ(CLV_GetLiveFlight(loaded, &loadedStatus), CLV_OK);
    EXPECT_EQ(loadedStatus.running, 0u);
    CLV_Close(loaded);
    // Set past the last bird while frozen: every one is in at once.
    CLV_SetClockTime(live.h, all.back().date + kSecond);
    ASSERT_EQ(CLV_WaitLiveFlight(live.h, kLongWait, &st), CLV_OK);
    EXPECT_EQ(st.running, 0u);
    EXPECT_EQ(live.arrivals(), all);
}

TEST(LiveFlight, RefusalsAndOneFlightAtATime) {
    RaceClock frozen(5);
    CLV_FlySummary sum{};
    EXPECT_EQ(CLV_FlyLive(frozen.h, 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 1, 0, -1, 0, &sum),
              CLV_ERR_BAD_STATE);  // its time would never reach a bird
    LiveClock live(5, 1);
    EXPECT_EQ(CLV_FlyLive(live.h, 3, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 1, 0, -1, 0, &sum),
              CLV_ERR_NOT_FOUND);
    EXPECT_EQ(CLV_FlyLive(live.h, 0, kLibLat, kLibLon, 1.0, kLoftLat, kLoftLon, 1, 0, -1, 0, &sum),
              CLV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CLV_FlyLive(live.h, 0, 95, kLibLon, kRelease, kLoftLat, kLoftLon, 1, 0, -1, 0, &sum),
              CLV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(live.status().running, 0u);  // nothing refused started
    ASSERT_EQ(live.flyLive(1, &sum), CLV_OK);
    EXPECT_EQ(live.flyLive(2, &sum), CLV_ERR_BAD_STATE);  // one at a time
    EXPECT_EQ(live.status().planned, 5u);
    LiveClock s(0, 1, CLV_KIND_S);
    ASSERT_EQ(SKS_CreateRace(s.h, kRaceKey, kRelease, kRelease + 1), -1);
    EXPECT_EQ(s.flyLive(1, &sum), CLV_ERR_UNKNOWN_COMMAND);
    CLV_LiveFlight st{};
    EXPECT_EQ(CLV_GetLiveFlight(live.h, nullptr), CLV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CLV_GetLiveFlight(0xDEAD, &st), CLV_ERR_NO_CHANNEL);
    EXPECT_EQ(CLV_WaitLiveFlight(0xDEAD, 0, &st), CLV_ERR_NO_CHANNEL);
    EXPECT_EQ(CLV_StopLiveFlight(0xDEAD), CLV_ERR_NO_CHANNEL);
    EXPECT_EQ(CLV_FlyLive(0xDEAD, 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 1, 0, -1, 0, &sum),
              CLV_ERR_NO_CHANNEL);
    // Every bird lost: nothing to come, over at once.
    LiveClock lost(4, 1);
    ASSERT_EQ(lost.flyLive(1, &sum, 1.0), CLV_OK);
    EXPECT_EQ(sum.lost, 4u);
    EXPECT_EQ(lost.status().running, 0u);
}

TEST(LiveFlight, AStoppedFlightRecordsNoMore) {
    LiveClock live(10, 1);
    CLV_FlySummary sum{};
    ASSERT_EQ(live.flyLive(4, &sum), CLV_OK);
    ASSERT_EQ(CLV_StopLiveFlight(live.h), CLV_OK);
    CLV_LiveFlight st = live.status();
    EXPECT_EQ(st.running, 0u);
    EXPECT_EQ(st.pending, 0u);
    EXPECT_EQ(st.planned, 10u);
    CLV_SetClockTime(live.h, sum.lastArrival + kSecond);
    ASSERT_EQ(CLV_WaitLiveFlight(live.h, 0, &st), CLV_OK);
    EXPECT_TRUE(live.arrivals().empty());
    EXPECT_EQ(CLV_StopLiveFlight(live.h), CLV_OK);  // none runs: nothing to do
    // Another flight may start once one ended; the race keeps its rules.
    ASSERT_EQ(CLV_FlyLive(live.h, 0, kLibLat, kLibLon, kRelease, kLoftLat, kLoftLon, 4, 0, -1, 0, nullptr), CLV_OK);
    ASSERT_EQ(CLV_WaitLiveFlight(live.h, kLongWait, &st), CLV_OK);  // its birds are past already
    EXPECT_EQ(st.recorded, 10u);
    // A race removed meanwhile: its arrivals are refused, counted.
    LiveClock gone(6, 1);
    ASSERT_EQ(gone.flyLive(4, &sum), CLV_OK);
    CLV_SetClockTime(gone.h, kRelease + 60 * kSecond);
    ASSERT_NE(SKM_CloseRace(gone.h, kRaceKey), 0);
    CLV_SetClockTime(gone.h, sum.lastArrival + kSecond);
    ASSERT_EQ(CLV_WaitLiveFlight(gone.h, kLongWait, &st), CLV_OK);
    EXPECT_EQ(st.running, 0u);
    EXPECT_EQ(st.recorded, 0u);
    EXPECT_EQ(st.refused, 6u);
    EXPECT_EQ(st.refusal, static_cast<CLV_ULONG>(CLV_ERR_BAD_STATE));
}

TEST(LiveFlight, CloseEndsTheFlightAndReleasesItsWaiters) {
    for (int round = 0; round < 20; ++round) {
        LiveClock live(8, 1 + round * 100);
        ASSERT_EQ(live.flyLive(static_cast<CLV_ULONG>(round), nullptr), CLV_OK);
        std::atomic<int> waited{-1};
        std::thread waiter([&] {
            CLV_LiveFlight st{};
            waited = CLV_WaitLiveFlight(live.h, kLongWait, &st);
        });
        if (round % 2 == 1) CLV_SetClockTime(live.h, kRelease + 0.2);  // birds coming in meanwhile
        sleepMs(1);
        ASSERT_EQ(CLV_Close(live.h), CLV_OK);
        waiter.join();  // the waiter got out, whether it was in or not yet
        EXPECT_TRUE(waited == CLV_OK || waited == CLV_ERR_NO_CHANNEL) << waited;
        live.h = 0;  // closed
    }
}

TEST(LiveFlight, EveryChangeOfTheTimeMeanwhileKeepsTheFlightWhole) {
    // The flight's thread against threads that change the time, the speed and
    // the freeze, save, read the progress and download: every bird comes in
    // once, in order.
    RaceClock at_once(25);
    ASSERT_EQ(at_once.fly(21, nullptr), CLV_OK);
    LiveClock live(25, 3600);
    CLV_FlySummary planned{};
    ASSERT_EQ(live.flyLive(21, &planned), CLV_OK);
    std::atomic<bool> done{false};
    std::vector<std::thread> meddlers;
    meddlers.emplace_back([&] {
        for (int i = 0; !done; ++i) {
            CLV_SetSpeed(live.h, i % 2 ? 3600 : 1000);
            CLV_FreezeClock(live.h, i % 3 == 0);
            CLV_FreezeClock(live.h, 0);
            sleepMs(1);
        }
    });
    meddlers.emplace_back([&] {
        const std::string file = ::testing::TempDir() + "live_meddled.json";
        while (!done) {
            CLV_LiveFlight st{};
            CLV_GetLiveFlight(live.h, &st);
            CLV_Save(live.h, file.c_str());
            char record[33], lead[9];
            double at = 0;
            SKM_GetRaceRecord(live.h, 0, 0, record, &at, lead);
            sleepMs(1);
        }
    });
    // Forward in steps through the day.
    for (double t = planned.firstArrival - 60 * kSecond; t <= planned.lastArrival; t += 300 * kSecond) {
        CLV_SetClockTime(live.h, t);
        sleepMs(5);
    }
    CLV_SetClockTime(live.h, planned.lastArrival + kSecond);
    CLV_LiveFlight st{};
    ASSERT_EQ(CLV_WaitLiveFlight(live.h, kLongWait, &st), CLV_OK);
    done = true;
    for (auto& t : meddlers) t.join();
    EXPECT_EQ(st.running, 0u);
    EXPECT_EQ(st.recorded, 25u);
    EXPECT_EQ(live.arrivals(), at_once.arrivals());
}

TEST(LiveFlightDeathTest, TheProcessEndsCleanlyDuringAFlight) {
    EXPECT_EXIT(
        {
            LiveClock live(8, 1);
            live.flyLive(1, nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
