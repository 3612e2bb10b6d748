# The tracing build of the library (bin/trace/libskylark.so,
# bin/trace/Skylark.dll): the same exports, each of which writes its call to
# the trace that SKYLARK_TRACE names, over a core whose ClockLink and
# RingReader calls are traced too (SKYLARK_TRACE_BUILD).
#
# The export wrappers are generated here from api/exports.json: the api/
# sources are compiled with every export renamed skylark_untraced_<name>, and
# each generated export records its arguments, calls the renamed one and
# records its result and outputs.

set(_trace_gen ${CMAKE_BINARY_DIR}/trace-gen)
include(${CMAKE_CURRENT_LIST_DIR}/export_list.cmake)
file(READ "${SKYLARK_EXPORT_LIST}" _tj)
string(JSON _tcount LENGTH "${_tj}" exports)
math(EXPR _tlast "${_tcount} - 1")

# A size from the list as C++: a number, or an expression over arguments.
function(_trace_size out size_text)
  string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)" "static_cast<std::size_t>(\\1)" _e "${size_text}")
  set(${out} "${_e}" PARENT_SCOPE)
endfunction()

set(_rename "// Generated from api/exports.json: the exports under their untraced names.\n#pragma once\n")
set(_decls "")
set(_defs "")
foreach(_i RANGE ${_tlast})
  skylark_export_entry(_tj ${_i} _)
  string(APPEND _rename "#define ${_name} skylark_untraced_${_name}\n")

  set(_params "")
  set(_names "")
  set(_in "")
  set(_out "")
  set(_pointers "")
  if(_nargs GREATER 0)
    math(EXPR _alast "${_nargs} - 1")
    foreach(_a RANGE ${_alast})
      skylark_export_arg(_tj ${_i} ${_a} _arg_)
      list(APPEND _params "${_arg_type} ${_arg_name}")
      list(APPEND _names "${_arg_name}")
      if(_arg_type MATCHES "\\*$")
        list(APPEND _pointers "${_arg_name} != nullptr")
      endif()
      if(_arg_dir STREQUAL "in")
        if(_arg_type STREQUAL "double")
          string(APPEND _in "        l.key(\"${_arg_name}\").real(${_arg_name});\n")
        elseif(_arg_type STREQUAL "SK_ULONG")
          string(APPEND _in "        l.key(\"${_arg_name}\").unsignedNumber(${_arg_name});\n")
        elseif(_arg_encoding STREQUAL "bytes" OR _arg_encoding STREQUAL "bcd")
          _trace_size(_sz "${_arg_size}")
          string(APPEND _in "        l.key(\"${_arg_name}\").bytes(reinterpret_cast<const std::uint8_t*>(${_arg_name}), ${_sz});\n")
        else()
          string(APPEND _in "        l.key(\"${_arg_name}\").text(${_arg_name}, kTextMax);\n")
        endif()
      else()
        string(APPEND _in "        l.key(\"${_arg_name}\"); if (${_arg_name} != nullptr) l.raw(\"\\\"out\\\"\"); else l.null();\n")
        if(_arg_type STREQUAL "double*")
          set(_v "real(*${_arg_name})")
        elseif(_arg_type STREQUAL "SK_ULONG*" OR _arg_encoding STREQUAL "number")
          set(_v "unsignedNumber(*${_arg_name})")
        elseif(_arg_encoding STREQUAL "bytes" OR _arg_encoding STREQUAL "bcd")
          if(_rule STREQUAL "count")
            set(_sz "static_cast<std::size_t>(r)")
          else()
            _trace_size(_sz "${_arg_size}")
          endif()
          set(_v "bytes(reinterpret_cast<const std::uint8_t*>(${_arg_name}), ${_sz})")
        else()
          _trace_size(_sz "${_arg_size}")
          set(_v "text(${_arg_name}, ${_sz})")
        endif()
        string(APPEND _out "            if (${_arg_name} != nullptr) l.key(\"${_arg_name}\").${_v};\n")
      endif()
    endforeach()
  endif()
  list(JOIN _params ", " _params)
  list(JOIN _names ", " _names)

  if(_linkage STREQUAL "C")
    set(_ext "extern \"C\" ")
  else()
    set(_ext "")
  endif()
  string(APPEND _decls "${_ext}${_result} SKAPI_CALL skylark_untraced_${_name}(${_params});\n")

  if(_result STREQUAL "BOOL16")
    set(_written "r != 0")
    set(_rv "        l.key(\"result\").number(r);\n")
  else()
    # The codecs write their outputs whenever every pointer is given.
    if(_pointers)
      list(JOIN _pointers " && " _written)
    else()
      set(_written "true")
    endif()
    if(_result STREQUAL "double")
      set(_rv "        l.key(\"result\").real(r);\n")
    elseif(_result STREQUAL "SK_ULONG")
      set(_rv "        l.key(\"result\").unsignedNumber(r);\n")
    else()
      set(_rv "")
    endif()
  endif()
  if(_result STREQUAL "void")
    set(_call "    skylark_untraced_${_name}(${_names});\n")
    set(_ret "")
  else()
    set(_call "    const ${_result} r = skylark_untraced_${_name}(${_names});\n")
    set(_ret "    return r;\n")
  endif()
  set(_outblock "")
  if(_out)
    set(_outblock "        if (${_written}) {\n            l.beginObject(\"out\");\n${_out}            l.endObject();\n        }\n")
  endif()
  string(APPEND _defs "${_ext}SKAPI ${_result} SKAPI_CALL ${_name}(${_params}) {
    skylark::trace::ExportCall tc(\"${_name}\");
    if (tc) {
        skylark::trace::Line& l = tc.line();
        l.beginObject(\"args\");
${_in}        l.endObject();
    }
${_call}    if (tc) {
        skylark::trace::Line& l = tc.line();
${_rv}${_outblock}        tc.finish();
    }
${_ret}}

")
endforeach()

file(WRITE ${_trace_gen}/rename.h.in "${_rename}")
configure_file(${_trace_gen}/rename.h.in ${_trace_gen}/rename.h COPYONLY)
file(WRITE ${_trace_gen}/exports.cpp.in "// Generated from api/exports.json: every export, traced.
#include <cstddef>
#include <cstdint>

#include \"skylark/skylark.h\"
#include \"trace/trace.h\"

// The exports under their untraced names (api/ compiled with rename.h).
${_decls}
namespace {
// The longest input text a line keeps.
constexpr std::size_t kTextMax = 256;
}  // namespace

${_defs}")
configure_file(${_trace_gen}/exports.cpp.in ${_trace_gen}/exports.cpp COPYONLY)

set(_trace_api "")
foreach(_src IN LISTS SKYLARK_API_SOURCES)
  get_filename_component(_base "${_src}" NAME_WE)
  file(WRITE ${_trace_gen}/api_${_base}.cpp.in
    "// Generated: ${_base}.cpp with every export under its untraced name.\n#include \"rename.h\"\n#include \"${_src}\"\n")
  configure_file(${_trace_gen}/api_${_base}.cpp.in ${_trace_gen}/api_${_base}.cpp COPYONLY)
  list(APPEND _trace_api ${_trace_gen}/api_${_base}.cpp)
endforeach()

# The core again, with the traced ClockLink and RingReader calls.
set(_trace_core_sources ${SKYLARK_CORE_SOURCES} ${SKYLARK_OS_SOURCES} ${SKYLARK_TRACE_SOURCES})
if(WIN32)
  list(APPEND _trace_core_sources ${SKYLARK_TRACE_IO_WINDOWS_SOURCES})
else()
  list(APPEND _trace_core_sources ${SKYLARK_TRACE_IO_POSIX_SOURCES})
endif()
add_library(skylark_core_trace STATIC ${_trace_core_sources})
target_include_directories(skylark_core_trace PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
target_compile_definitions(skylark_core_trace PUBLIC SKYLARK_TRACE_BUILD)
if(WIN32)
  target_link_libraries(skylark_core_trace PUBLIC bcrypt clocklink_imports ringreader_imports)
endif()

add_library(skylark_trace SHARED ${_trace_api} ${_trace_gen}/exports.cpp)
target_include_directories(skylark_trace PRIVATE ${_trace_gen} ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(skylark_trace PRIVATE skylark_core_trace)
target_compile_definitions(skylark_trace PRIVATE SKYLARK_BUILDING)
set_target_properties(skylark_trace PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/trace
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/trace
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/trace)
foreach(_prop VERSION SOVERSION)
  get_target_property(_v skylark ${_prop})
  if(NOT _v STREQUAL "_v-NOTFOUND")  # SOVERSION 0 is a value too
    set_target_properties(skylark_trace PROPERTIES ${_prop} ${_v})
  endif()
endforeach()
if(WIN32)
  set_target_properties(skylark_trace PROPERTIES PREFIX "" OUTPUT_NAME Skylark)
  target_sources(skylark_trace PRIVATE "${CMAKE_BINARY_DIR}/Skylark.def")
  add_dependencies(skylark_trace clocklink ringreader)
  if(SKYLARK_I686)
    target_link_options(skylark_trace PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
else()
  set_target_properties(skylark_trace PROPERTIES OUTPUT_NAME skylark)
  target_link_options(skylark_trace PRIVATE "-Wl,--version-script=${CMAKE_BINARY_DIR}/skylark.map"
    -Wl,--no-as-needed -Wl,--no-undefined)
  set_property(TARGET skylark_trace APPEND PROPERTY LINK_DEPENDS "${CMAKE_BINARY_DIR}/skylark.map")
  target_link_libraries(skylark_trace PRIVATE clocklink ringreader)
endif()
