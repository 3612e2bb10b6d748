# Reads the export list (api/exports.json: every export with its signature)
# and turns it into what each platform's linker takes: the Linux version
# script, the Windows .def, and import libraries in MinGW and Microsoft
# format. It also builds import libraries for the closed libraries on Windows.
#
# Sets:
#   SKYLARK_EXPORTS            the plain names with C linkage
#   SKYLARK_DECORATED_LINUX    the Linux symbols of the C++-linkage exports
#   SKYLARK_DECORATED_DEF_LINES  this Windows architecture's .def lines for them
#   SKYLARK_EXPORTED_SYMBOLS   every name the platform's export table shows
#   SKYLARK_EXPORT_STACK_BYTES "name=N" per export: the i686 __stdcall size of
#                              its arguments (4 per slot or pointer, 8 per double)
#   SKYLARK_WINDOWS_STACK_BYTES the same by the name the DLL exports
#   SKYLARK_DECORATED_SYMBOLS  "name=symbol": this platform's exported symbol
#                              of each C++-linkage export
#   SKYLARK_LIST_VERSION       the version the list was written for

set(SKYLARK_EXPORT_LIST "${CMAKE_SOURCE_DIR}/api/exports.json")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${SKYLARK_EXPORT_LIST}")
file(READ "${SKYLARK_EXPORT_LIST}" _skylark_json)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(_skylark_win_key win32)
else()
  set(_skylark_win_key win64)
endif()

string(JSON SKYLARK_LIST_VERSION GET "${_skylark_json}" version)
string(JSON _count LENGTH "${_skylark_json}" exports)
set(SKYLARK_EXPORTS)
set(SKYLARK_DECORATED_LINUX)
set(SKYLARK_DECORATED_DEF_LINES)
set(SKYLARK_DECORATED_WINDOWS)
set(SKYLARK_EXPORT_STACK_BYTES)
set(SKYLARK_WINDOWS_STACK_BYTES)
set(SKYLARK_DECORATED_SYMBOLS)
math(EXPR _last "${_count} - 1")
foreach(_i RANGE ${_last})
  string(JSON _name GET "${_skylark_json}" exports ${_i} name)
  string(JSON _linkage GET "${_skylark_json}" exports ${_i} linkage)
  string(JSON _nargs LENGTH "${_skylark_json}" exports ${_i} args)
  set(_bytes 0)
  if(_nargs GREATER 0)
    math(EXPR _alast "${_nargs} - 1")
    foreach(_a RANGE ${_alast})
      string(JSON _type GET "${_skylark_json}" exports ${_i} args ${_a} type)
      if(_type STREQUAL "double")
        math(EXPR _bytes "${_bytes} + 8")
      else()
        math(EXPR _bytes "${_bytes} + 4")
      endif()
    endforeach()
  endif()
  list(APPEND SKYLARK_EXPORT_STACK_BYTES "${_name}=${_bytes}")
  if(_linkage STREQUAL "C")
    list(APPEND SKYLARK_EXPORTS ${_name})
    list(APPEND SKYLARK_WINDOWS_STACK_BYTES "${_name}=${_bytes}")
  else()
    string(JSON _linux GET "${_skylark_json}" exports ${_i} decorated linux)
    string(JSON _windows GET "${_skylark_json}" exports ${_i} decorated ${_skylark_win_key})
    list(APPEND SKYLARK_DECORATED_LINUX ${_linux})
    list(APPEND SKYLARK_DECORATED_WINDOWS ${_windows})
    list(APPEND SKYLARK_WINDOWS_STACK_BYTES "${_windows}=${_bytes}")
    if(WIN32)
      list(APPEND SKYLARK_DECORATED_SYMBOLS "${_name}=${_windows}")
    else()
      list(APPEND SKYLARK_DECORATED_SYMBOLS "${_name}=${_linux}")
    endif()
    # The symbol the cross compiler gives the definition on this Windows
    # architecture, which the .def exports under the decorated name.
    string(JSON _compiled GET "${_skylark_json}" exports ${_i} compiled ${_skylark_win_key})
    list(APPEND SKYLARK_DECORATED_DEF_LINES "${_windows} = ${_compiled}")
  endif()
endforeach()

# The version is said once, in project() of the top-level CMakeLists.txt; the
# DLLs' version resources and the package files are made from it, and what
# must carry it in the tree (the header's macros, the export list, the Python
# package) is checked here.
file(STRINGS "${CMAKE_SOURCE_DIR}/include/skylark/skylark.h" _macros REGEX "^#define SKYLARK_VERSION")
set(_header_version "")
foreach(_part MAJOR MINOR PATCH)
  string(REGEX MATCH "SKYLARK_VERSION_${_part} ([0-9]+)" _m "${_macros}")
  list(APPEND _header_version "${CMAKE_MATCH_1}")
endforeach()
list(JOIN _header_version "." _header_version)
string(REGEX MATCH "SKYLARK_VERSION \"([^\"]*)\"" _m "${_macros}")
if(NOT _header_version STREQUAL PROJECT_VERSION OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "include/skylark/skylark.h gives version ${_header_version} (\"${CMAKE_MATCH_1}\"), "
                      "the project is ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/include/skylark/skylark.h")
if(NOT SKYLARK_LIST_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "api/exports.json is for version ${SKYLARK_LIST_VERSION}, "
                      "the project is ${PROJECT_VERSION}")
endif()
set(_pyproject "${CMAKE_SOURCE_DIR}/bindings/python/pyproject.toml")
file(STRINGS "${_pyproject}" _py_version REGEX "^version = ")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pyproject}")
if(NOT _py_version STREQUAL "version = \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "bindings/python/pyproject.toml gives ${_py_version}, the project is ${PROJECT_VERSION}")
endif()

if(WIN32)
  find_program(SKYLARK_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED
               DOC "llvm-dlltool, for the Microsoft-format import libraries")
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(SKYLARK_DLLTOOL_MACHINE i386)
  else()
    set(SKYLARK_DLLTOOL_MACHINE i386:x86-64)
  endif()
  set(SKYLARK_EXPORTED_SYMBOLS ${SKYLARK_EXPORTS} ${SKYLARK_DECORATED_WINDOWS})
else()
  set(SKYLARK_EXPORTED_SYMBOLS ${SKYLARK_EXPORTS} ${SKYLARK_DECORATED_LINUX})
endif()

# Linux: a version script that exports the listed names and hides the rest.
function(skylark_linux_exports target)
  set(_script "${CMAKE_BINARY_DIR}/skylark.map")
  set(_text "{\n  global:\n")
  foreach(_name IN LISTS SKYLARK_EXPORTS SKYLARK_DECORATED_LINUX)
    string(APPEND _text "    ${_name};\n")
  endforeach()
  string(APPEND _text "  local:\n    *;\n};\n")
  file(GENERATE OUTPUT "${_script}" CONTENT "${_text}")
  target_link_options(${target} PRIVATE "-Wl,--version-script=${_script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${_script}")
endfunction()

# Windows: the .def the DLL is linked with, and the .def its import libraries
# are made from. Hosts compiled against skylark.h ask for the i686 names with
# their @N (and GCC's own symbol of a C++-linkage export); the import
# libraries map each to the name the DLL exports.
function(skylark_windows_exports target)
  set(_def "${CMAKE_BINARY_DIR}/Skylark.def")
  set(_text "LIBRARY Skylark.dll\nEXPORTS\n")
  foreach(_name IN LISTS SKYLARK_EXPORTS)
    string(APPEND _text "${_name}\n")
  endforeach()
  foreach(_line IN LISTS SKYLARK_DECORATED_DEF_LINES)
    string(APPEND _text "${_line}\n")
  endforeach()
  file(GENERATE OUTPUT "${_def}" CONTENT "${_text}")
  target_sources(${target} PRIVATE "${_def}")

  # MinGW (GNU ld) format: @N names with -k; GCC's C++ symbol imports the
  # Microsoft-decorated export.
  set(_gnu "LIBRARY Skylark.dll\nEXPORTS\n")
  # Microsoft format (llvm-dlltool): the same names, with the decorated
  # exports under their own names as MSVC-compiled callers ask for them.
  set(_ms "LIBRARY Skylark.dll\nEXPORTS\n")
  foreach(_entry IN LISTS SKYLARK_EXPORT_STACK_BYTES)
    string(REPLACE "=" ";" _pair "${_entry}")
    list(GET _pair 0 _name)
    list(GET _pair 1 _bytes)
    if(NOT _name IN_LIST SKYLARK_EXPORTS)
      continue()
    endif()
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      string(APPEND _gnu "${_name}@${_bytes}\n")
      string(APPEND _ms "${_name}@${_bytes}\n")
    else()
      string(APPEND _gnu "${_name}\n")
      string(APPEND _ms "${_name}\n")
    endif()
  endforeach()
  foreach(_line IN LISTS SKYLARK_DECORATED_DEF_LINES)
    string(REGEX REPLACE " = .*" "" _export "${_line}")
    string(REGEX REPLACE ".* = " "" _gcc "${_line}")
    string(APPEND _gnu "${_gcc} == \"${_export}\"\n")
    string(APPEND _ms "${_export}\n")
  endforeach()
  set(_gnu_def "${CMAKE_BINARY_DIR}/Skylark-imports.def")
  set(_ms_def "${CMAKE_BINARY_DIR}/Skylark-imports-msvc.def")
  file(GENERATE OUTPUT "${_gnu_def}" CONTENT "${_gnu}")
  file(GENERATE OUTPUT "${_ms_def}" CONTENT "${_ms}")

  # The import library GNU ld writes names the plain exports, which an i686
  # __stdcall caller cannot link; it is replaced by the one made here.
  set(SKYLARK_MSVC_IMPLIB "${CMAKE_BINARY_DIR}/lib/Skylark.lib" PARENT_SCOPE)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${SKYLARK_MINGW_TRIPLE}-dlltool -k -d "${_gnu_def}" -l "$<TARGET_LINKER_FILE:${target}>"
    COMMAND ${SKYLARK_LLVM_DLLTOOL} -m ${SKYLARK_DLLTOOL_MACHINE} -k -d "${_ms_def}" -l "${CMAKE_BINARY_DIR}/lib/Skylark.lib"
    VERBATIM)
endfunction()

# Windows: an import library from a .def of a closed library's exports
# (written with i686 @N suffixes, dropped on x86-64).
function(skylark_import_library name def)
  file(READ "${def}" _text)
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    string(REGEX REPLACE "@[0-9]+\n" "\n" _text "${_text}")
  endif()
  get_filename_component(_base "${def}" NAME_WE)
  set(_gen "${CMAKE_BINARY_DIR}/${_base}.def")
  set(_lib "${CMAKE_BINARY_DIR}/lib/lib${_base}.a")
  file(WRITE "${_gen}" "${_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${def}")
  add_custom_command(OUTPUT "${_lib}"
    COMMAND ${SKYLARK_MINGW_TRIPLE}-dlltool -k -d "${_gen}" -l "${_lib}"
    DEPENDS "${_gen}" VERBATIM)
  add_custom_target(${name}_gen DEPENDS "${_lib}")
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION "${_lib}")
  add_dependencies(${name} ${name}_gen)
endfunction()

# Windows: a stand-in DLL's import libraries in both formats, made from the
# names it exports; on i686 they map each __stdcall name with its @N to the
# plain export.
function(skylark_standin_implibs target)
  set(_def "${CMAKE_BINARY_DIR}/${target}-exports.def")
  target_link_options(${target} PRIVATE "-Wl,--output-def,${_def}")
  get_target_property(_name ${target} OUTPUT_NAME)
  set(_ms)
  if(SKYLARK_LLVM_DLLTOOL)
    set(_ms -DLLVM_DLLTOOL=${SKYLARK_LLVM_DLLTOOL} -DMACHINE=${SKYLARK_DLLTOOL_MACHINE}
            -DMSVC_IMPLIB=${CMAKE_BINARY_DIR}/lib/${_name}.lib)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DDEF=${_def} "-DDLL=$<TARGET_FILE_NAME:${target}>"
            -DDLLTOOL=${SKYLARK_MINGW_TRIPLE}-dlltool "-DIMPLIB=$<TARGET_LINKER_FILE:${target}>" ${_ms}
            -P ${CMAKE_SOURCE_DIR}/cmake/stdcall_implib.cmake
    VERBATIM)
endfunction()
