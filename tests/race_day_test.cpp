// Race day on the virtual clocks (CLV_Fly): distances on the ellipsoid,
// arrivals in order, deterministic per seed, the clock's own rules.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <string>
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

}  // namespace
