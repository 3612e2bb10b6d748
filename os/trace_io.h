// What the tracing build takes from the operating system: the file named by
// SKYLARK_TRACE, writing to it, and the clocks that stamp its lines. One
// source file per operating system (trace_io_posix.cpp, trace_io_win.cpp);
// only the tracing build compiles them, so the normal library reads no
// environment and opens no file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skylark {

struct TraceFile;

// Opens the file SKYLARK_TRACE names for writing, replacing what it held.
// Null when the variable is unset or empty, or the file cannot be opened.
TraceFile* osTraceOpen();

// Writes all n bytes; false when the file refuses them.
bool osTraceWrite(TraceFile* file, const char* data, std::size_t n);

void osTraceClose(TraceFile* file);

// A monotonic clock in nanoseconds, for the time of each line.
std::int64_t osTraceClockNs();

// The wall-clock time in milliseconds since 1 January 1970 UTC.
std::int64_t osTraceWallMs();

// The operating system's name in the trace header: "linux" or "windows".
const char* osTraceSystem();

}  // namespace skylark
