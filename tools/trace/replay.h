// Replaying a trace through the normal library: every recorded export call
// is made again, in order, against replay devices that answer the recorded
// ClockLink and RingReader calls, and its result and outputs are compared
// with the recorded ones.
#pragma once

#include <cstdint>
#include <string>

#include "standins/trace_file.h"

namespace skytrace {

struct ReplayResult {
    int status = 0;            // 0 every call matched, 1 a mismatch, 2 the trace is unusable
    std::string message;       // what did not match, or why the trace is unusable
    std::uint64_t calls = 0;   // export calls replayed
    std::uint64_t exchanges = 0;  // ClockLink and RingReader calls they made
};

// path: the trace file (the replay devices read it too); trace: it, parsed.
ReplayResult replay(const std::string& path, const standins::tracefile::Trace& trace, bool strict);

}  // namespace skytrace
