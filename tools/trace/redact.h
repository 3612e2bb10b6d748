// skylark-trace redact: ring numbers, race keys and what is derived from
// passwords replaced by stand-ins, the same stand-in for the same value
// everywhere in the trace, so that the trace still replays (tolerant mode).
#pragma once

#include "standins/trace_file.h"

namespace skytrace {

void redact(standins::tracefile::Trace& trace);

}  // namespace skytrace
