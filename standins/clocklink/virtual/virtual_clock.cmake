# The virtual clocks inside ClockLink: the OS services they share with the
# library (local time, random bytes), their file saving per platform,
# nlohmann-json (header-only) for the saved state, and the race day's
# distance on the ellipsoid (GeographicLib natively, our own inverse in the
# DLLs). Only ClockLink uses these.
target_sources(clocklink PRIVATE standins/clocklink/virtual/geo/inverse.cpp)
if(WIN32)
  target_sources(clocklink PRIVATE os/os_win.cpp standins/clocklink/virtual/platform/save_win.cpp
    standins/clocklink/virtual/geo/distance_own.cpp)
  if(SKYLARK_I686)
    # IEEE double arithmetic in SSE registers, not the host's x87 precision.
    target_compile_options(clocklink PRIVATE -msse2 -mfpmath=sse)
  endif()
  target_link_libraries(clocklink PRIVATE oleaut32 bcrypt)
  # The cross compiler must not search /usr/include: a folder holding only
  # the json headers stands in for it.
  set(_json_root ${CMAKE_BINARY_DIR}/json-include)
  if(NOT EXISTS ${_json_root}/nlohmann)
    file(MAKE_DIRECTORY ${_json_root})
    file(CREATE_LINK /usr/include/nlohmann ${_json_root}/nlohmann SYMBOLIC)
  endif()
  target_include_directories(clocklink SYSTEM PRIVATE ${_json_root})
else()
  target_sources(clocklink PRIVATE os/os_posix.cpp standins/clocklink/virtual/platform/save_posix.cpp
    standins/clocklink/virtual/geo/distance_geographiclib.cpp)
  find_package(nlohmann_json 3 REQUIRED)
  # Race-day distances natively from GeographicLib (Debian: libgeographiclib-dev).
  find_path(GEOGRAPHICLIB_INCLUDE_DIR GeographicLib/Geodesic.hpp REQUIRED)
  find_library(GEOGRAPHICLIB_LIBRARY GeographicLib REQUIRED)
  target_include_directories(clocklink SYSTEM PRIVATE ${GEOGRAPHICLIB_INCLUDE_DIR})
  target_link_libraries(clocklink PRIVATE ${GEOGRAPHICLIB_LIBRARY})
  target_link_libraries(clocklink PRIVATE nlohmann_json::nlohmann_json)
endif()
