# The virtual clocks inside ClockLink: their file saving per platform,
# nlohmann-json (header-only) for the saved state, and the race day's
# distance on the ellipsoid (GeographicLib natively, our own inverse in the
# DLLs). Only ClockLink uses these; the OS services they share with the
# library are added with the stand-in's sources.
find_package(nlohmann_json 3 REQUIRED)
if(WIN32)
  target_sources(clocklink PRIVATE ${SKYLARK_VIRTUAL_CLOCK_WINDOWS_SOURCES})
  if(SKYLARK_I686)
    # IEEE double arithmetic in SSE registers, not the host's x87 precision.
    target_compile_options(clocklink PRIVATE -msse2 -mfpmath=sse)
  endif()
  target_link_libraries(clocklink PRIVATE oleaut32 bcrypt)
  # The package's include folder is the build machine's own (/usr/include on
  # Debian), which the cross compiler must not search: a folder holding only
  # the json headers, linked from where the package has them, stands in.
  get_target_property(_json_includes nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  find_path(_json_headers nlohmann/json.hpp PATHS ${_json_includes} NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(_json_root ${CMAKE_BINARY_DIR}/json-include)
  if(NOT EXISTS ${_json_root}/nlohmann/json.hpp)
    file(MAKE_DIRECTORY ${_json_root})
    file(REMOVE ${_json_root}/nlohmann)
    file(CREATE_LINK ${_json_headers}/nlohmann ${_json_root}/nlohmann SYMBOLIC)
  endif()
  target_include_directories(clocklink SYSTEM PRIVATE ${_json_root})
else()
  target_sources(clocklink PRIVATE ${SKYLARK_VIRTUAL_CLOCK_POSIX_SOURCES})
  # Race-day distances natively from GeographicLib (Debian: libgeographiclib-dev).
  find_path(GEOGRAPHICLIB_INCLUDE_DIR GeographicLib/Geodesic.hpp REQUIRED)
  find_library(GEOGRAPHICLIB_LIBRARY GeographicLib REQUIRED)
  target_include_directories(clocklink SYSTEM PRIVATE ${GEOGRAPHICLIB_INCLUDE_DIR})
  target_link_libraries(clocklink PRIVATE ${GEOGRAPHICLIB_LIBRARY})
  target_link_libraries(clocklink PRIVATE nlohmann_json::nlohmann_json)
endif()
