#include "tools/trace/redact.h"

namespace skytrace {

void redact(standins::tracefile::Trace&) {}

}  // namespace skytrace
