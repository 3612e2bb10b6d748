# Checks that the normal library holds no tracing: it imports nothing that
# reads the environment or opens a file, and carries no trace text.
#   cmake -DTOOL=nm|objdump -DLIBRARY=... -DPLATFORM=linux|windows -P check_untraced.cmake
if(PLATFORM STREQUAL "linux")
  execute_process(COMMAND ${TOOL} -D --undefined-only ${LIBRARY} OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
else()
  execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
endif()
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
endif()
foreach(_name getenv secure_getenv fopen fopen64 open open64 openat creat _wfopen _wgetenv
              _wopen GetEnvironmentVariableA GetEnvironmentVariableW CreateFileA CreateFileW)
  if(_out MATCHES "[ \t]${_name}(@|\n|$)")
    message(FATAL_ERROR "${LIBRARY} imports ${_name}: the normal library reads no environment and opens no file")
  endif()
endforeach()
file(STRINGS ${LIBRARY} _texts REGEX "SKYLARK_TRACE|skylark-trace")
if(_texts)
  message(FATAL_ERROR "${LIBRARY} carries trace code: ${_texts}")
endif()
message(STATUS "${LIBRARY}: no environment, no files, no trace code")
