// The M clock's event log: its maximum log number and one entry by number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "skylark/skylark_types.h"

namespace skylark {

// One log entry as the clock returns it, 7 to 32 bytes:
//   0 type 1 | 1 time BCD 6 | 7 data 0..25
struct LogEntry {
    static constexpr std::size_t kHeadSize = 7;
    static constexpr std::size_t kMaxSize = 32;
    static constexpr std::size_t kMaxData = kMaxSize - kHeadSize;

    std::uint8_t logType;
    double logTime;  // 0.0 when the BCD bytes are no real date-time
    std::uint8_t logData[kMaxData];
    std::size_t dataLength;

    // Decodes a reply of length bytes (at least kHeadSize); bytes beyond
    // kMaxSize are never read, whatever length was reported.
    static LogEntry decode(const std::uint8_t* reply, std::uint32_t length);
};

BOOL16 getMaxLogNo(SK_ULONG handle, SK_ULONG* maxLogNo);
BOOL16 getLogInfo(SK_ULONG handle, SK_ULONG logNo, std::uint8_t* logType, double* logTime,
                  char* logDataText);

}  // namespace skylark
