// Where GeographicLib cannot be linked (the Windows DLLs), our own inverse.
#include "standins/clocklink/virtual/geo/ellipsoid.h"

namespace standins::vclock::geo {

double wgs84Distance(double lat1, double lon1, double lat2, double lon2) {
    return inverseDistance(lat1, lon1, lat2, lon2);
}

}  // namespace standins::vclock::geo
