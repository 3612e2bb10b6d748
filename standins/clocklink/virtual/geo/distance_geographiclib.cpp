// Natively the clock measures with GeographicLib.
#include <GeographicLib/Geodesic.hpp>

#include "standins/clocklink/virtual/geo/ellipsoid.h"

namespace standins::vclock::geo {

double wgs84Distance(double lat1, double lon1, double lat2, double lon2) {
    double s12 = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s12);
    return s12;
}

}  // namespace standins::vclock::geo
