// skylark-trace show: a trace in plain words, one exchange per line.
#pragma once

#include <ostream>

#include "standins/trace_file.h"

namespace skytrace {

void show(const standins::tracefile::Trace& trace, bool raw, std::ostream& out);

}  // namespace skytrace
