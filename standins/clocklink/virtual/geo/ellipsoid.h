// Distances on the WGS84 ellipsoid, for the race day of a virtual clock.
#pragma once

namespace standins::vclock::geo {

// The length in metres of the shortest path on the WGS84 ellipsoid between
// two points given in degrees (latitude north, longitude east). The clock's
// distance: GeographicLib where the build has it, inverseDistance otherwise.
double wgs84Distance(double lat1, double lon1, double lat2, double lon2);

// Our own solution of the inverse problem on WGS84, for builds without
// GeographicLib (the Windows DLLs). It follows the auxiliary-sphere method
// (reduced latitudes, the equatorial azimuth alpha0, the arc sigma from the
// node) and evaluates the two integrals of the problem, distance and
// longitude,
//   s / b = Int sqrt(1 + k^2 sin^2 sigma) d sigma
//   lambda = omega - f sin(alpha0) Int (2 - f) / (1 + (1 - f) sqrt(1 + k^2 sin^2 sigma)) d sigma
//   (k = e' cos alpha0), by Gauss-Legendre quadrature, which for these
// smooth periodic integrands is exact to rounding. The starting azimuth is
// found by bisection on lambda(alpha1), which is monotonic once the points
// are put in a standard position, so nearly antipodal points converge like
// any others. Agrees with GeographicLib to well under a millimetre.
double inverseDistance(double lat1, double lon1, double lat2, double lon2);

}  // namespace standins::vclock::geo
