# The demo host run with the tracing library, its trace replayed through the
# normal library: every export's result and outputs as recorded, in strict
# and tolerant mode; a trace with one parameter byte changed, or one tag
# write's data, fails at that exchange, one cut short where it ends; skylark-trace show prints the session in words.
#   cmake -DDEMO=... -DTOOL=... -DTRACE_DIR=... -DWORK=... -P demo_replay.cmake
set(_trace ${WORK}/demo.trace.jsonl)
file(REMOVE ${_trace})

function(run expect_rc)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL expect_rc)
    message(FATAL_ERROR "${ARGN}: exit ${_rc}, expected ${expect_rc}\n${_out}\n${_err}")
  endif()
  set(OUT "${_out}" PARENT_SCOPE)
  set(ERR "${_err}" PARENT_SCOPE)
endfunction()

# Without SKYLARK_TRACE the tracing library writes nothing.
run(0 ${CMAKE_COMMAND} -E env --unset=SKYLARK_TRACE LD_LIBRARY_PATH=${TRACE_DIR} ${DEMO})
run(0 ${CMAKE_COMMAND} -E env SKYLARK_TRACE=${_trace} LD_LIBRARY_PATH=${TRACE_DIR} ${DEMO})
file(STRINGS ${_trace} _first LIMIT_COUNT 1)
if(NOT _first MATCHES "^{\"format\":\"skylark-trace\",\"version\":\"1\\.[0-9]+\",")
  message(FATAL_ERROR "no trace header: ${_first}")
endif()

run(0 ${TOOL} replay --strict ${_trace})
run(0 ${TOOL} replay ${_trace})
message(STATUS "${OUT}")

# One byte of one parameter block different: the fourth ring registered.
file(STRINGS ${_trace} _lines)
set(_tampered ${WORK}/demo.tampered.jsonl)
file(WRITE ${_tampered} "")
set(_seen 0)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "\"fn\":\"IFD_RunUserCmd\",\"handle\":[0-9]+,\"number\":9,\"params\":\"00")
    math(EXPR _seen "${_seen} + 1")
    if(_seen EQUAL 4)
      string(REGEX REPLACE "\"params\":\"00" "\"params\":\"01" _line "${_line}")
    endif()
  endif()
  file(APPEND ${_tampered} "${_line}\n")
endforeach()
run(1 ${TOOL} replay ${_tampered})
if(NOT ERR MATCHES "mismatch at exchange [0-9]+ \\(call 11, SKM_AppendCard\\): IFD_RunUserCmd 9 parameter block \\(byte 0 differs\\): expected 01[0-9A-F]+, received 00[0-9A-F]+")
  message(FATAL_ERROR "the tampered trace failed without naming its exchange:\n${ERR}")
endif()
message(STATUS "${ERR}")

# The reader's side: a tag write with other data than the library sends
# fails at that write; a trace that ends before the library's last reader
# call fails at the call with nothing recorded.
set(_tag_data ${WORK}/demo.tag-data.jsonl)
set(_tag_cut ${WORK}/demo.tag-cut.jsonl)
file(WRITE ${_tag_data} "")
file(WRITE ${_tag_cut} "")
set(_seen 0)
set(_last_reader -1)
set(_i 0)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "\"ev\":\"ringreader\"")
    set(_last_reader ${_i})
  endif()
  math(EXPR _i "${_i} + 1")
endforeach()
set(_i 0)
foreach(_line IN LISTS _lines)
  set(_changed "${_line}")
  if(_line MATCHES "\"fn\":\"HTS_WritePage\".*\"data\":\"")
    math(EXPR _seen "${_seen} + 1")
    if(_seen EQUAL 1)
      string(REGEX REPLACE "\"data\":\"([0-9A-F]+)\"" "\"data\":\"FFFFFFFF\"" _changed "${_line}")
    endif()
  endif()
  file(APPEND ${_tag_data} "${_changed}\n")
  if(NOT _i EQUAL _last_reader)
    file(APPEND ${_tag_cut} "${_line}\n")
  endif()
  math(EXPR _i "${_i} + 1")
endforeach()
run(1 ${TOOL} replay ${_tag_data})
if(NOT ERR MATCHES "exchange [0-9]+ \\(call [0-9]+, SKR_[A-Za-z]+\\): HTS_WritePage page [0-9]+ data: expected FFFFFFFF, received [0-9A-F]+")
  message(FATAL_ERROR "the changed tag write failed without naming it:\n${ERR}")
endif()
message(STATUS "${ERR}")
run(1 ${TOOL} replay ${_tag_cut})
if(NOT ERR MATCHES "mismatch after exchange [0-9]+: the trace holds no further call on this reader; the library called HTS_")
  message(FATAL_ERROR "the cut trace failed without saying so:\n${ERR}")
endif()
message(STATUS "${ERR}")

run(0 ${TOOL} show ${_trace})
foreach(_words "SKM_GetRaceRecord\\(handle 1, raceIndex 0, recordIndex 0\\) -> -1"
               "race 0, record 0: lead [0-9A-F]+, ring 2026A0010001, arrival 2026-05-16 09:41:07, code verified"
               "code not verified" "class 3 \\(SK_ConnectEx\\): refused" "tag activated, UID 5A01C37E")
  if(NOT OUT MATCHES "${_words}")
    message(FATAL_ERROR "show does not say \"${_words}\"")
  endif()
endforeach()

# Redacted: no ring number, race key or password of the session is left,
# and the trace replays in tolerant mode (strict compares the zeroed
# password blocks and fails).
set(_redacted ${WORK}/demo.redacted.jsonl)
run(0 ${TOOL} redact ${_trace} -o ${_redacted})
file(READ ${_redacted} _text)
foreach(_secret "2026A00100(0[1-9]|1[0-2])" "2026A0012345" "1999FF000001" "5241434532303236"
                "5352414345303031" "4852414345303031" "pigeon42" "letmein")
  if(_text MATCHES "${_secret}")
    message(FATAL_ERROR "the redacted trace still holds ${CMAKE_MATCH_0}")
  endif()
endforeach()
run(0 ${TOOL} replay ${_redacted})
run(1 ${TOOL} replay --strict ${_redacted})
