// What the library takes from the operating system: OLE date conversion,
// the local wall-clock time and cryptographic random bytes. One source file
// per operating system implements it (os_win.cpp, os_posix.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace skylark {

// A calendar date and time of day in whole seconds.
struct DateTime {
    int year;
    int month;   // 1..12
    int day;     // 1..31
    int hour;    // 0..23
    int minute;  // 0..59
    int second;  // 0..59
};

// Splits an OLE Automation date into its fields, rounded to whole seconds.
// False when the date lies outside the convertible range.
bool osDateToFields(double date, DateTime& out);

// The OLE Automation date of fields already known to form a real date-time.
// False when the platform refuses them.
bool osFieldsToDate(const DateTime& fields, double& out);

// The current local wall-clock time in whole seconds.
DateTime osLocalNow();

// Fills buf with len bytes from the system's cryptographic random source.
// False when the source cannot deliver; callers then send nothing.
bool osRandomBytes(std::uint8_t* buf, std::size_t len);

}  // namespace skylark
