# A session recorded under Wine with the Windows tracing DLL, replayed
# natively: the demo host runs beside bin/trace/Skylark.dll and the stand-ins
# with SKYLARK_TRACE set, and the native skylark-trace replays the trace
# through the Linux library in strict mode.
#   cmake -DRUN_WINE=... -DWINE=... -DDEMO=... -DBIN=... -DTRACE_DLL=... -DTOOL=... -DWORK=...
#         -P wine_replay.cmake
set(_host ${WORK}/wine-host)
file(REMOVE_RECURSE ${_host})
file(MAKE_DIRECTORY ${_host})
file(COPY ${DEMO} ${BIN}/ClockLink.dll ${BIN}/RingReader.dll ${TRACE_DLL} DESTINATION ${_host})
get_filename_component(_demo ${DEMO} NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E env SKYLARK_TRACE=session.jsonl
                        ${RUN_WINE} ${WINE} ${_demo}
                WORKING_DIRECTORY ${_host} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(_rc EQUAL 77)
  message(STATUS "SKIPPED: ${_out}")
  return()
endif()
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "the demo under Wine failed (${_rc}):\n${_out}\n${_err}")
endif()
file(STRINGS ${_host}/session.jsonl _first LIMIT_COUNT 1)
if(NOT _first MATCHES "\"os\":\"windows\"")
  message(FATAL_ERROR "not a trace written on Windows: ${_first}")
endif()
execute_process(COMMAND ${TOOL} replay --strict ${_host}/session.jsonl
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "the Windows trace does not replay natively:\n${_err}")
endif()
message(STATUS "${_first}\n${_out}")
