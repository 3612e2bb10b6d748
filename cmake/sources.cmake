# Every source file of the build, listed once, whatever the platform and the
# options: a new .cpp or .c is added to its list here. The configure step
# stops when a source file under the tree's source folders is in no list
# (skylark_check_sources_listed, at the end of the top-level CMakeLists.txt),
# so a file that was forgotten does not silently drop out of the build.
#
# Paths are relative to the source root; skylark_sources() makes them
# absolute.

function(skylark_sources var)
  set(_abs)
  foreach(_f IN LISTS ARGN)
    list(APPEND _abs ${CMAKE_SOURCE_DIR}/${_f})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY SKYLARK_LISTED_SOURCES ${_abs})
  set(${var} ${_abs} PARENT_SCOPE)
endfunction()

# ---- The library ---------------------------------------------------------------
skylark_sources(SKYLARK_CORE_SOURCES
  frame/codec.cpp
  frame/frame.cpp
  security/auth.cpp
  security/des.cpp
  security/device_control.cpp
  security/reply_mac.cpp
  clock/event_log.cpp
  clock/hclock.cpp
  clock/race.cpp
  clock/race_query.cpp
  clock/race_record.cpp
  clock/ring_registry.cpp
  clock/sclock.cpp
  clock/setting_texts.cpp
  clock/settings.cpp
  clock/training.cpp
  ring/ring_tag.cpp
  record/record.cpp
  os/ole_date.cpp
  os/services.cpp)
skylark_sources(SKYLARK_OS_POSIX_SOURCES os/os_posix.cpp)
skylark_sources(SKYLARK_OS_WINDOWS_SOURCES os/os_win.cpp)
# The tracing build (cmake/trace_build.cmake): the trace writer, the traced
# ClockLink and RingReader calls and the trace file per platform.
skylark_sources(SKYLARK_TRACE_SOURCES
  trace/links.cpp
  trace/writer.cpp)
skylark_sources(SKYLARK_TRACE_IO_POSIX_SOURCES os/trace_io_posix.cpp)
skylark_sources(SKYLARK_TRACE_IO_WINDOWS_SOURCES os/trace_io_win.cpp)
skylark_sources(SKYLARK_API_SOURCES
  api/codecs.cpp
  api/device.cpp
  api/hclock.cpp
  api/race.cpp
  api/event_log.cpp
  api/ring_registry.cpp
  api/settings.cpp
  api/ring.cpp
  api/sclock.cpp)

# ---- The stand-ins ---------------------------------------------------------------
skylark_sources(SKYLARK_CLOCKLINK_SOURCES
  standins/clocklink/clocklink.cpp
  standins/clocklink/test_clock.cpp
  standins/clocklink/replay/replay_clock.cpp)
skylark_sources(SKYLARK_VIRTUAL_CLOCK_SOURCES
  standins/clocklink/virtual/api.cpp
  standins/clocklink/virtual/arrival_records.cpp
  standins/clocklink/virtual/clock_time.cpp
  standins/clocklink/virtual/entry_rules.cpp
  standins/clocklink/virtual/command_table.cpp
  standins/clocklink/virtual/m_races.cpp
  standins/clocklink/virtual/m_registry.cpp
  standins/clocklink/virtual/m_training.cpp
  standins/clocklink/virtual/race_day.cpp
  standins/clocklink/virtual/saved_state.cpp
  standins/clocklink/virtual/saved_state_v2.cpp
  standins/clocklink/virtual/security.cpp
  standins/clocklink/virtual/seed.cpp
  standins/clocklink/virtual/sh_clocks.cpp
  standins/clocklink/virtual/state_rules.cpp
  standins/clocklink/virtual/virtual_clock.cpp
  standins/clocklink/virtual/geo/inverse.cpp)
skylark_sources(SKYLARK_VIRTUAL_CLOCK_POSIX_SOURCES
  standins/clocklink/virtual/geo/distance_geographiclib.cpp)
skylark_sources(SKYLARK_VIRTUAL_CLOCK_WINDOWS_SOURCES
  standins/clocklink/virtual/geo/distance_own.cpp)
# The files of the virtual clocks and the virtual reader: read, parsed
# strictly and saved atomically, in both stand-ins.
skylark_sources(SKYLARK_STANDIN_FILE_SOURCES
  standins/saved_file.cpp
  standins/strict_json.cpp)
skylark_sources(SKYLARK_STANDIN_FILE_POSIX_SOURCES standins/platform/save_posix.cpp
  standins/platform/process_posix.cpp)
skylark_sources(SKYLARK_STANDIN_FILE_WINDOWS_SOURCES standins/platform/save_win.cpp
  standins/platform/process_win.cpp)
skylark_sources(SKYLARK_RINGREADER_SOURCES
  standins/ringreader/ringreader.cpp
  standins/ringreader/test_reader.cpp
  standins/ringreader/virtual_reader.cpp
  standins/ringreader/reader_file.cpp
  standins/ringreader/replay_reader.cpp)

# ---- Tools -------------------------------------------------------------------------
skylark_sources(SKYLARK_HELLO_SOURCES tools/hello.cpp)
skylark_sources(SKYLARK_DEMO_SOURCES tools/demo.c)
skylark_sources(SKYLARK_RACE_DOWNLOAD_SOURCES tools/race_download.c)
skylark_sources(SKYLARK_VCLOCK_SOURCES tools/vclock/main.cpp tools/vclock/tag_commands.cpp)
skylark_sources(SKYLARK_VCLOCK_TEST_SOURCES tools/vclock/vclock_test.cpp)
skylark_sources(SKYLARK_RECORDS_ENGINE_SOURCES tools/records/record_file.cpp)
skylark_sources(SKYLARK_RECORDS_MAIN_SOURCES tools/records/main.cpp)
skylark_sources(SKYLARK_RECORDS_TEST_SOURCES tools/records/record_file_test.cpp)
skylark_sources(SKYLARK_RECORDS_BENCH_SOURCES tools/records/record_file_bench.cpp)
skylark_sources(SKYLARK_RECORDS_FUZZ_SOURCES tools/records/record_file_fuzz.cpp)
skylark_sources(SKYLARK_TRACE_REPLAY_SOURCES
  tools/trace/replay.cpp
  tools/trace/values.cpp)
skylark_sources(SKYLARK_TRACE_TOOL_SOURCES
  tools/trace/main.cpp
  tools/trace/redact.cpp
  tools/trace/show.cpp)
skylark_sources(SKYLARK_TRACE_SESSION_TEST_SOURCES tools/trace/session_test.cpp)

# ---- Tests, benchmarks, fuzz targets -------------------------------------------------
skylark_sources(SKYLARK_TEST_SOURCES
  tests/auth_test.cpp
  tests/codec_test.cpp
  tests/contract_test.cpp
  tests/des_test.cpp
  tests/device_control_test.cpp
  tests/event_log_test.cpp
  tests/exports_test.cpp
  tests/fp_mode_test.cpp
  tests/frame_test.cpp
  tests/hclock_test.cpp
  tests/os_seam_test.cpp
  tests/race_day_test.cpp
  tests/race_record_test.cpp
  tests/race_test.cpp
  tests/record_test.cpp
  tests/ring_registry_test.cpp
  tests/ring_tag_test.cpp
  tests/saved_clock_test.cpp
  tests/saved_v2_test.cpp
  tests/sclock_test.cpp
  tests/seeded_clock_test.cpp
  tests/settings_test.cpp
  tests/threads_test.cpp
  tests/training_test.cpp
  tests/virtual_clock_test.cpp
  tests/virtual_faults_test.cpp
  tests/virtual_rules_test.cpp)
# Suites that use OpenSSL as an oracle: native only.
skylark_sources(SKYLARK_OPENSSL_TEST_SOURCES
  tests/des_openssl_test.cpp
  tests/wire_openssl_test.cpp)
skylark_sources(SKYLARK_E2E_TEST_SOURCES
  tests/e2e/mclock_test.cpp
  tests/e2e/replay_test.cpp
  tests/e2e/saved_test.cpp
  tests/e2e/shclock_test.cpp
  tests/e2e/tag_test.cpp
  tests/e2e/tag_file_test.cpp
  tests/e2e/threads_test.cpp)
# The virtual clock's own side, built with the objects of our ClockLink.
skylark_sources(SKYLARK_CLOCK_SIDE_TEST_SOURCES tests/clock_side/command_table_test.cpp)
# Our own inverse on the ellipsoid against GeographicLib (native only).
skylark_sources(SKYLARK_GEODESIC_TEST_SOURCES tests/geodesic/geographiclib_test.cpp)
skylark_sources(SKYLARK_LONG_RUN_SOURCES tests/reliability/long_run.cpp)
skylark_sources(SKYLARK_ABI_HOST_SOURCES tests/abi/host.c)
skylark_sources(SKYLARK_CONSUMER_SOURCES dist/tests/consumer/consumer.c dist/tests/consumer/standins_consumer.c)
skylark_sources(SKYLARK_BENCH_SOURCES
  bench/des_bench.cpp
  bench/download_bench.cpp
  bench/race_day_bench.cpp
  bench/record_bench.cpp)
# One program per target, fuzz/<name>_fuzz.cpp.
set(SKYLARK_FUZZ_TARGETS codecs records reads texts ring saved clock_side reader readerfile)
set(_fuzz)
foreach(_name IN LISTS SKYLARK_FUZZ_TARGETS)
  list(APPEND _fuzz fuzz/${_name}_fuzz.cpp)
endforeach()
skylark_sources(SKYLARK_FUZZ_SOURCES ${_fuzz})

# Stops the configure step when a source file under the source folders is in
# none of the lists above.
function(skylark_check_sources_listed)
  set(_patterns)
  foreach(_dir api base os frame security clock ring record trace standins tools tests bench fuzz dist)
    foreach(_ext c cc cpp)
      list(APPEND _patterns ${CMAKE_SOURCE_DIR}/${_dir}/*.${_ext})
    endforeach()
  endforeach()
  file(GLOB_RECURSE _found LIST_DIRECTORIES false ${_patterns})
  get_property(_listed GLOBAL PROPERTY SKYLARK_LISTED_SOURCES)
  set(_missing)
  foreach(_f IN LISTS _found)
    if(NOT _f IN_LIST _listed)
      file(RELATIVE_PATH _f ${CMAKE_SOURCE_DIR} ${_f})
      list(APPEND _missing ${_f})
    endif()
  endforeach()
  if(_missing)
    list(JOIN _missing "\n  " _text)
    message(FATAL_ERROR "source files in no list of cmake/sources.cmake (add each to its list):\n  ${_text}")
  endif()
endfunction()
