#include "standins/clocklink/virtual/geo/ellipsoid.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace standins::vclock::geo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// WGS84.
constexpr double kA = 6378137.0;
constexpr double kF = 1.0 / 298.257223563;
constexpr double kB = kA * (1.0 - kF);
constexpr double kEp2 = kF * (2.0 - kF) / ((1.0 - kF) * (1.0 - kF));  // e'^2

// Gauss-Legendre nodes and weights on [-1, 1], computed once by Newton's
// method on the Legendre polynomial.
constexpr int kNodes = 12;
struct Rule {
    double x[kNodes], w[kNodes];
    Rule() {
        for (int i = 0; i < kNodes; ++i) {
            double z = std::cos(kPi * (i + 0.75) / (kNodes + 0.5));
            double dp = 0;
            for (int it = 0; it < 100; ++it) {
                double p0 = 1, p1 = z;
                for (int n = 2; n <= kNodes; ++n) {
                    const double p2 = ((2 * n - 1) * z * p1 - (n - 1) * p0) / n;
                    p0 = p1;
                    p1 = p2;
                }
                dp = kNodes * (z * p1 - p0) / (z * z - 1);
                const double dz = p1 / dp;
                z -= dz;
                if (std::fabs(dz) < 1e-17) break;
            }
            x[i] = z;
            w[i] = 2 / ((1 - z * z) * dp * dp);
        }
    }
};
const Rule& rule() {
    static const Rule r;
    return r;
}

// Int from s1 to s2 of g(sigma), in panels no wider than pi/4.
template <class G>
double integrate(double s1, double s2, G g) {
    const Rule& r = rule();
    const int panels = std::max(1, static_cast<int>(std::ceil(std::fabs(s2 - s1) / (kPi / 4))));
    const double h = (s2 - s1) / panels;
    double sum = 0;
    for (int p = 0; p < panels; ++p) {
        const double mid = s1 + (p + 0.5) * h;
        double part = 0;
        for (int i = 0; i < kNodes; ++i) part += r.w[i] * g(mid + 0.5 * h * r.x[i]);
        sum += part * 0.5 * h;
    }
    return sum;
}

double distanceIntegral(double k2, double s1, double s2) {
    return integrate(s1, s2, [k2](double s) {
        const double t = std::sin(s);
        return std::sqrt(1 + k2 * t * t);
    });
}

double longitudeIntegral(double k2, double s1, double s2) {
    return integrate(s1, s2, [k2](double s) {
        const double t = std::sin(s);
        return (2 - kF) / (1 + (1 - kF) * std::sqrt(1 + k2 * t * t));
    });
}

// A unit vector (sine, cosine) in the direction of (y, x).
void normalise(double& y, double& x) {
    const double r = std::hypot(y, x);
    y /= r;
    x /= r;
}

// The angle from direction 1 to direction 2, in [0, pi].
double angleBetween(double s1, double c1, double s2, double c2) {
    return std::atan2(std::max(0.0, c1 * s2 - s1 * c2), c1 * c2 + s1 * s2);
}

struct Point {
    double sbet, cbet;  // reduced latitude
};

// The geodesic leaving point 1 at azimuth alpha1 (0..pi, towards the north
// first for alpha1 < pi/2), up to where it first reaches the latitude of
// point 2 heading north: its longitude difference and its length.
struct Leg {
    double lambda, s;
};
Leg leg(const Point& p1, const Point& p2, double alpha1) {
    const double salp1 = std::sin(alpha1), calp1 = std::cos(alpha1);
    const double salp0 = salp1 * p1.cbet;
    const double calp0 = std::hypot(calp1, salp1 * p1.sbet);
    // At point 1: arc from the node and longitude on the auxiliary sphere.
    double ssig1 = p1.sbet, csig1 = calp1 * p1.cbet;
    double somg1 = salp0 * p1.sbet, comg1 = calp1 * p1.cbet;
    normalise(ssig1, csig1);
    normalise(somg1, comg1);
    // At point 2 (cos alpha2 >= 0: reached heading north).
    const double d = p1.cbet < -p1.sbet ? (p2.cbet - p1.cbet) * (p2.cbet + p1.cbet)
                                        : (p1.sbet - p2.sbet) * (p1.sbet + p2.sbet);
    const double calp2 = std::sqrt(std::max(0.0, calp1 * p1.cbet * calp1 * p1.cbet + d)) / p2.cbet;
    double ssig2 = p2.sbet, csig2 = calp2 * p2.cbet;
    double somg2 = salp0 * p2.sbet, comg2 = calp2 * p2.cbet;
    normalise(ssig2, csig2);
    normalise(somg2, comg2);
    const double sigma1 = std::atan2(ssig1, csig1);
    const double sigma12 = angleBetween(ssig1, csig1, ssig2, csig2);
    const double omega12 = angleBetween(somg1, comg1, somg2, comg2);
    const double k2 = kEp2 * calp0 * calp0;
    Leg r;
    r.lambda = omega12 - kF * salp0 * longitudeIntegral(k2, sigma1, sigma1 + sigma12);
    r.s = kB * distanceIntegral(k2, sigma1, sigma1 + sigma12);
    return r;
}

Point reduced(double lat) {
    Point p;
    if (std::fabs(lat) == 90) {
        p.sbet = lat < 0 ? -1 : 1;
        p.cbet = 0;
    } else {
        p.sbet = (1 - kF) * std::sin(lat * kDegree);
        p.cbet = std::cos(lat * kDegree);
        normalise(p.sbet, p.cbet);
    }
    return p;
}

}  // namespace

double inverseDistance(double lat1, double lon1, double lat2, double lon2) {
    // Standard position: |lat1| >= |lat2|, lat1 <= 0, 0 <= lon12 <= 180.
    double lon12 = std::fabs(std::remainder(lon2 - lon1, 360.0));
    if (std::fabs(lat1) < std::fabs(lat2)) std::swap(lat1, lat2);
    if (lat1 > 0) {
        lat1 = -lat1;
        lat2 = -lat2;
    }
    if (lat1 == 0) lat1 = -0.0;  // so that the way south starts at sigma = -pi
    const Point p1 = reduced(lat1), p2 = reduced(lat2);
    const double lambda12 = lon12 * kDegree;

    if (lon12 == 0 || lon12 == 180 || p1.cbet == 0) {
        // Along a meridian: north from point 1 (same meridian, or point 1 at
        // the pole), or south over the pole to the opposite meridian, which is
        // the shorter way round an oblate ellipsoid.
        const double sigma1 =
            lon12 == 180 && p1.cbet != 0 ? std::atan2(p1.sbet, -p1.cbet) : std::atan2(p1.sbet, p1.cbet);
        const double sigma2 = std::atan2(p2.sbet, p2.cbet);
        return kB * distanceIntegral(kEp2, sigma1, sigma2);
    }
    if (lat1 == 0 && lambda12 <= (1 - kF) * kPi) return kA * lambda12;  // along the equator

    // lambda(alpha1) rises from 0 at alpha1 = 0 to pi at alpha1 = pi.
    Point q2 = p2;
    q2.cbet = std::max(q2.cbet, 1e-300);
    double lo = lat1 == 0 ? kPi / 2 : 0.0, hi = kPi;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) break;
        if (leg(p1, q2, mid).lambda < lambda12) lo = mid;
        else hi = mid;
    }
    return leg(p1, q2, 0.5 * (lo + hi)).s;
}

}  // namespace standins::vclock::geo
