// Our own ellipsoidal inverse, which the Windows DLLs measure race
// distances with, against GeographicLib as the oracle: random pairs of
// points worldwide, within one country, nearly antipodal and along the
// equator, and the special cases, each to a millimetre or better.
#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <cmath>
#include <random>

#include "standins/clocklink/virtual/geo/ellipsoid.h"

namespace {

using standins::vclock::geo::inverseDistance;
using standins::vclock::geo::wgs84Distance;

constexpr double kMillimetre = 0.001;
constexpr double kPi = 3.14159265358979323846;

double oracle(double lat1, double lon1, double lat2, double lon2) {
    double s12 = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s12);
    return s12;
}

struct Points {
    std::mt19937_64 gen{20260516};
    double u() { return std::uniform_real_distribution<double>(0, 1)(gen); }
    double latitude() { return std::asin(2 * u() - 1) * 180 / kPi; }  // uniform on the sphere
    double longitude() { return 360 * u() - 180; }
};

// The largest difference from GeographicLib over n pairs from make().
template <class Make>
double worst(int n, Make make) {
    Points p;
    double most = 0;
    for (int i = 0; i < n; ++i) {
        double a[4];
        make(p, a);
        const double diff = std::fabs(inverseDistance(a[0], a[1], a[2], a[3]) - oracle(a[0], a[1], a[2], a[3]));
        EXPECT_LE(diff, kMillimetre) << a[0] << ' ' << a[1] << ' ' << a[2] << ' ' << a[3];
        most = std::max(most, diff);
    }
    return most;
}

TEST(Geodesic, WorldwidePairs) {
    const double w = worst(5000, [](Points& p, double* a) {
        a[0] = p.latitude(), a[1] = p.longitude(), a[2] = p.latitude(), a[3] = p.longitude();
    });
    RecordProperty("worst_m", std::to_string(w));
}

TEST(Geodesic, PairsWithinACountry) {
    // A box of 8 by 9 degrees, as from liberation points to lofts of a
    // national race.
    worst(5000, [](Points& p, double* a) {
        a[0] = 47 + 8 * p.u(), a[1] = 6 + 9 * p.u(), a[2] = 47 + 8 * p.u(), a[3] = 6 + 9 * p.u();
    });
}

TEST(Geodesic, NearlyAntipodalPairs) {
    worst(2000, [](Points& p, double* a) {
        const double d = std::pow(10.0, -6 * p.u());  // up to a degree off the antipode
        a[0] = p.latitude(), a[1] = p.longitude();
        a[2] = -a[0] + d * (2 * p.u() - 1), a[3] = a[1] + 180 + d * (2 * p.u() - 1);
    });
    // Near the equator, where the shortest way leaves the equator for a pole.
    worst(2000, [](Points& p, double* a) {
        a[0] = (2 * p.u() - 1) * 1e-3, a[1] = p.longitude();
        a[2] = (2 * p.u() - 1) * 1e-3, a[3] = a[1] + 180 - (2 * p.u() - 1) * 0.7;
    });
}

TEST(Geodesic, SpecialCases) {
    const double cases[][4] = {
        {0, 0, 0, 0},          {52, 5, 52, 5},        {0, 0, 0, 90},          {0, 0, 0, 179},
        {0, 0, 0, 179.5},      {0, 0, 0, 180},        {0, 0, 1e-10, 180},     {-90, 0, 90, 0},
        {90, 10, -90, 50},     {-90, 0, 45, 10},      {90, 0, 90, 77},        {51, 4, 51, 4.0000001},
        {-30, 0, 30, 180},     {10, -170, -10, 170},  {89.9999, 0, -89.9999, 180}, {33, 20, 33, -160},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(inverseDistance(c[0], c[1], c[2], c[3]), oracle(c[0], c[1], c[2], c[3]), kMillimetre)
            << c[0] << ' ' << c[1] << ' ' << c[2] << ' ' << c[3];
}

TEST(Geodesic, NativeBuildsMeasureWithGeographicLib) {
    EXPECT_EQ(wgs84Distance(48.8566, 2.3522, 52.3676, 4.9041), oracle(48.8566, 2.3522, 52.3676, 4.9041));
}

}  // namespace
