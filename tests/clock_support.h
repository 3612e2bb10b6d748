// Shared by the S and H clock tests: a date and its BCD bytes, the values
// outputs hold before a call that must not write them, and the S clock's
// answer to a record download.
#pragma once

#include <string>

#include "support.h"

namespace test {

// 14 March 2010 09:05:07 and its BCD bytes.
inline constexpr double kDate = 40251.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;
inline const Bytes kDateBcd = hex("10 03 14 09 05 07");
inline constexpr double kDateTolerance = 1e-9;

// Values outputs hold before a call that must not write them.
inline constexpr double kUntouchedDate = 12345.5;
inline constexpr SK_ULONG kUntouchedCount = 0xDEADBEEF;
inline const std::string kUntouchedText = "untouched";

// The S clock's download answer: the record and its arrival time, then the
// code; the challenge follows the record index in the request.
struct RecordClock : DownloadClock {
    RecordClock()
        : DownloadClock{hex("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"  // record
                            "10 03 14 09 05 07"),                              // kDate
                        2, 30} {}
};

}  // namespace test
