# Turns the export list (api/exports.cmake) into what each platform's linker
# takes, and builds import libraries for the closed libraries on Windows.

# The .def lines of this Windows architecture's decorated exports.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(SKYLARK_DECORATED_DEF_LINES ${SKYLARK_DECORATED_WIN32})
else()
  set(SKYLARK_DECORATED_DEF_LINES ${SKYLARK_DECORATED_WIN64})
endif()

# All exported symbol names as the platform shows them, for the export checks.
if(WIN32)
  set(_decorated)
  foreach(_line IN LISTS SKYLARK_DECORATED_DEF_LINES)
    string(REGEX REPLACE " *=.*" "" _name "${_line}")
    list(APPEND _decorated "${_name}")
  endforeach()
  set(SKYLARK_EXPORTED_SYMBOLS ${SKYLARK_EXPORTS} ${_decorated})
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

# Windows: the .def file, with the decorated lines of this architecture.
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
