// The export list as skylark-trace uses it: every export's arguments (from
// api/exports.json, generated into export_table.cpp) and a call through the
// normal library with arguments in slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace skytrace {

struct ArgInfo {
    const char* name;
    const char* type;      // C type as declared
    const char* dir;       // "in" or "out"
    const char* encoding;  // handle, number, unused, oledate, text, hex, bytes, bcd
    const char* size;      // buffer size: a number, an expression over arguments, or ""
};

struct ExportInfo {
    const char* name;
    const char* result;  // BOOL16, SK_ULONG, double, void
    const char* rule;
    const char* family;
    const ArgInfo* args;
    std::size_t argCount;
};

// One argument as passed: an integer slot, a double or a pointer.
struct Slot {
    std::uint64_t u = 0;
    double d = 0.0;
    void* p = nullptr;
};

// A result: integers in i (BOOL16 sign-extended), doubles in d.
struct Value {
    std::int64_t i = 0;
    double d = 0.0;
};

extern const ExportInfo kExports[];
extern const std::size_t kExportCount;

const ExportInfo* findExport(const std::string& name);

// Calls export number index of kExports with the slots; false for an index
// out of range.
bool invoke(std::size_t index, const Slot* slots, Value& result);

}  // namespace skytrace
