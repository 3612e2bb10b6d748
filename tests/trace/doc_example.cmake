# The complete example of docs/trace-format.md is a trace that replays in
# strict mode, and every line of it and of the demo's trace fits the schema.
#   cmake -DDOC=... -DTOOL=... -DWORK=... -P doc_example.cmake
file(READ ${DOC} _doc)
string(REGEX MATCH "```jsonl\n([^`]*)```" _m "${_doc}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "${DOC} has no jsonl example")
endif()
file(WRITE ${WORK}/example.jsonl "${CMAKE_MATCH_1}")
execute_process(COMMAND ${TOOL} replay --strict ${WORK}/example.jsonl RESULT_VARIABLE _rc
                OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "the documented example does not replay: ${_err}")
endif()
message(STATUS "${_out}")
