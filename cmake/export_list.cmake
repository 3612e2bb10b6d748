# Reading api/exports.json in CMake: one export's fields and one argument's,
# for the code generated from the list (cmake/trace_build.cmake at configure
# time, tools/trace/export_table.cmake as a build step with -P). A field the
# list must hold and does not stops CMake with an error.

# Sets <prefix>name, result, rule, family and linkage, and <prefix>nargs,
# from export `index` of the list held in the variable named `json`.
macro(skylark_export_entry json index prefix)
  foreach(_field name result rule family linkage)
    string(JSON ${prefix}${_field} GET "${${json}}" exports ${index} ${_field})
  endforeach()
  string(JSON ${prefix}nargs LENGTH "${${json}}" exports ${index} args)
endmacro()

# Sets <prefix>name, type, dir, encoding and size ("" when the list gives
# no size) from argument `arg` of export `index`.
macro(skylark_export_arg json index arg prefix)
  foreach(_field name type dir encoding)
    string(JSON ${prefix}${_field} GET "${${json}}" exports ${index} args ${arg} ${_field})
  endforeach()
  string(JSON ${prefix}size ERROR_VARIABLE _no_size GET "${${json}}" exports ${index} args ${arg} size)
  if(_no_size)
    set(${prefix}size "")
  endif()
endmacro()
