// What the library takes from the operating system: OLE date conversion,
// the local wall-clock time and cryptographic random bytes. One source file
// per operating system implements it (os_win.cpp, os_posix.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/calendar.h"

namespace skylark {

// Splits an OLE Automation date into its fields, rounded to whole seconds.
// False when the date lies outside the convertible range.
bool osDateToFields(double date, DateTime& out);

// The OLE Automation date of fields already known to form a real date-time.
// False when the platform refuses them.
bool osFieldsToDate(const DateTime& fields, double& out);

// The current local wall-clock time in whole seconds.
DateTime osLocalNow();

// The current calendar time: seconds since 1 January 1970 UTC, as time()
// gives it.
std::int64_t osTimeNow();

// Fills buf with len bytes from the system's cryptographic random source.
// False when the source cannot deliver; callers then send nothing.
bool osRandomBytes(std::uint8_t* buf, std::size_t len);

// ---- The system's own services, one implementation per operating system ----
DateTime osSystemLocalNow();
std::int64_t osSystemTimeNow();
bool osSystemRandomBytes(std::uint8_t* buf, std::size_t len);

// ---- Seam for tests ---------------------------------------------------------
// The three services above that change from call to call can be replaced,
// so that a test fixes the time or makes the random source fail, in the
// manner of a system-call fault injector. Internal to the static core: no
// export reaches it, and the library itself never installs anything. A null
// member keeps the system's own service.
struct OsServices {
    DateTime (*localNow)();
    std::int64_t (*timeNow)();
    bool (*randomBytes)(std::uint8_t* buf, std::size_t len);
};

// Installs services (null: the system's own for all three) for every thread
// and returns the ones installed before. The object must outlive its use.
const OsServices* osReplaceServices(const OsServices* services);

}  // namespace skylark
