// Export arguments, results and outputs in the trace's JSON form: the same
// encodings the tracing build writes (docs/trace-format.md).
#pragma once

#include <cstdint>
#include <string>

#include "standins/trace_file.h"
#include "tools/trace/exports.h"

namespace skytrace {

using standins::tracefile::json;

// A date or double: a JSON number, or "NaN", "Infinity", "-Infinity".
bool readReal(const json& v, double& out);
json realJson(double v);

// The size in bytes of an output buffer, from the list's size (a number or
// an expression such as 2*len+1 over the call's arguments).
std::size_t bufferSize(const ExportInfo& x, const ArgInfo& a, const Slot* slots);

// An output as the tracing build records it, read from the buffer.
json outputJson(const ExportInfo& x, const ArgInfo& a, const std::uint8_t* buf, std::size_t size,
                const Value& result);
bool sameOutput(const json& recorded, const json& mine);

json resultJson(const std::string& type, const Value& v);
bool sameResult(const std::string& type, const json& recorded, const Value& v);

}  // namespace skytrace
