# The virtual clocks inside ClockLink: the OS services they share with the
# library (local time, random bytes), their file saving per platform, and
# nlohmann-json (header-only) for the saved state. Only ClockLink uses these.
if(WIN32)
  target_sources(clocklink PRIVATE os/os_win.cpp standins/clocklink/virtual/platform/save_win.cpp)
  target_link_libraries(clocklink PRIVATE bcrypt)
  # The cross compiler must not search /usr/include: a folder holding only
  # the json headers stands in for it.
  set(_json_root ${CMAKE_BINARY_DIR}/json-include)
  if(NOT EXISTS ${_json_root}/nlohmann)
    file(MAKE_DIRECTORY ${_json_root})
    file(CREATE_LINK /usr/include/nlohmann ${_json_root}/nlohmann SYMBOLIC)
  endif()
  target_include_directories(clocklink SYSTEM PRIVATE ${_json_root})
else()
  target_sources(clocklink PRIVATE os/os_posix.cpp standins/clocklink/virtual/platform/save_posix.cpp)
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(clocklink PRIVATE nlohmann_json::nlohmann_json)
endif()
