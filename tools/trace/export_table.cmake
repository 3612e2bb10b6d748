# Generates export_table.cpp for skylark-trace from api/exports.json: the
# argument table and a call of every export with typed arguments.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/export_list.cmake)
file(READ "${SKYLARK_EXPORT_LIST}" _j)
string(JSON _count LENGTH "${_j}" exports)
math(EXPR _last "${_count} - 1")
set(_tables "")
set(_entries "")
set(_cases "")
foreach(_i RANGE ${_last})
  skylark_export_entry(_j ${_i} _)
  set(_rows "")
  set(_callargs "")
  if(_nargs GREATER 0)
    math(EXPR _alast "${_nargs} - 1")
    foreach(_a RANGE ${_alast})
      skylark_export_arg(_j ${_i} ${_a} _arg_)
      string(APPEND _rows "    {\"${_arg_name}\", \"${_arg_type}\", \"${_arg_dir}\", \"${_arg_encoding}\", \"${_arg_size}\"},\n")
      if(_arg_type STREQUAL "double")
        list(APPEND _callargs "s[${_a}].d")
      elseif(_arg_type MATCHES "\\*$")
        list(APPEND _callargs "static_cast<${_arg_type}>(s[${_a}].p)")
      else()
        list(APPEND _callargs "static_cast<${_arg_type}>(s[${_a}].u)")
      endif()
    endforeach()
    string(APPEND _tables "const ArgInfo kArgs${_i}[] = {\n${_rows}};\n")
    set(_argp "kArgs${_i}")
  else()
    set(_argp "nullptr")
  endif()
  list(JOIN _callargs ", " _callargs)
  string(APPEND _entries "    {\"${_name}\", \"${_result}\", \"${_rule}\", \"${_family}\", ${_argp}, ${_nargs}},\n")
  if(_result STREQUAL "void")
    string(APPEND _cases "        case ${_i}: ${_name}(${_callargs}); return true;\n")
  elseif(_result STREQUAL "double")
    string(APPEND _cases "        case ${_i}: r.d = ${_name}(${_callargs}); return true;\n")
  else()
    string(APPEND _cases "        case ${_i}: r.i = ${_name}(${_callargs}); return true;\n")
  endif()
endforeach()
file(WRITE ${OUT}.in "// Generated from api/exports.json.
#include \"skylark/skylark.h\"
#include \"tools/trace/exports.h\"

namespace skytrace {

namespace {
${_tables}}  // namespace

const ExportInfo kExports[] = {
${_entries}};
const std::size_t kExportCount = sizeof kExports / sizeof kExports[0];

const ExportInfo* findExport(const std::string& name) {
    for (std::size_t i = 0; i < kExportCount; ++i)
        if (name == kExports[i].name) return &kExports[i];
    return nullptr;
}

bool invoke(std::size_t index, const Slot* s, Value& r) {
    switch (index) {
${_cases}        default: return false;
    }
}

}  // namespace skytrace
")
configure_file(${OUT}.in ${OUT} COPYONLY)
