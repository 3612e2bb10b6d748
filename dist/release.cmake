# Builds the release archives of one Windows architecture from the installed
# tree: NAME.zip with the stripped DLLs, both import library formats, the
# headers, the CMake and pkg-config files, the reference and the README, the
# tracing build in bin/trace/; and
# NAME-debug.zip with each DLL's debug information (NAME.dll.debug, linked
# from the stripped DLL by .gnu_debuglink).
#   cmake -DBUILD_DIR=... -DOBJCOPY=... -DNAME=... -DZIP=... -DDEBUG_ZIP=... -P release.cmake
get_filename_component(_out "${ZIP}" DIRECTORY)
set(_stage "${_out}/stage")
file(REMOVE_RECURSE "${_stage}")
file(MAKE_DIRECTORY "${_stage}/${NAME}-debug/bin")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${_stage}/${NAME}"
                OUTPUT_QUIET RESULT_VARIABLE _rc)
# The stand-ins come along in their own folder, lib/skylark/standins/, so
# that copying bin/ never puts them where the real DLLs belong.
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${_stage}/${NAME}"
                --component standins OUTPUT_QUIET RESULT_VARIABLE _rc2)
if(NOT _rc EQUAL 0 OR NOT _rc2 EQUAL 0)
  message(FATAL_ERROR "install into ${_stage}/${NAME} failed")
endif()

# The DLLs of bin/, of the tracing build in bin/trace/ and the stand-ins.
file(GLOB _dlls RELATIVE "${_stage}/${NAME}" "${_stage}/${NAME}/bin/*.dll" "${_stage}/${NAME}/bin/trace/*.dll"
  "${_stage}/${NAME}/lib/skylark/standins/*.dll")
foreach(_rel IN LISTS _dlls)
  set(_dll "${_stage}/${NAME}/${_rel}")
  get_filename_component(_file "${_dll}" NAME)
  set(_debug "${_stage}/${NAME}-debug/${_rel}.debug")
  get_filename_component(_debug_dir "${_debug}" DIRECTORY)
  file(MAKE_DIRECTORY "${_debug_dir}")
  execute_process(COMMAND ${OBJCOPY} --only-keep-debug "${_dll}" "${_debug}" RESULT_VARIABLE _rc1)
  execute_process(COMMAND ${OBJCOPY} --strip-all "--add-gnu-debuglink=${_debug}" "${_dll}"
                  RESULT_VARIABLE _rc2)
  if(NOT _rc1 EQUAL 0 OR NOT _rc2 EQUAL 0)
    message(FATAL_ERROR "could not split the debug information of ${_file}")
  endif()
endforeach()

file(REMOVE "${ZIP}" "${DEBUG_ZIP}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${ZIP}" --format=zip "${NAME}"
                WORKING_DIRECTORY "${_stage}" RESULT_VARIABLE _rc1)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${DEBUG_ZIP}" --format=zip "${NAME}-debug"
                WORKING_DIRECTORY "${_stage}" RESULT_VARIABLE _rc2)
if(NOT _rc1 EQUAL 0 OR NOT _rc2 EQUAL 0)
  message(FATAL_ERROR "could not write the archives")
endif()
message(STATUS "${ZIP}\n   ${DEBUG_ZIP}")
