# Remakes a stand-in DLL's import libraries from the .def GNU ld wrote for it
# (--output-def): in MinGW format, where an i686 caller's __stdcall name
# (NAME@N) imports the plain name the DLL exports (GNU ld's own import
# library of a --kill-at DLL names the plain ones, which such a caller cannot
# link), and in Microsoft format (llvm-dlltool).
#   cmake -DDEF=... -DDLL=name.dll -DDLLTOOL=... -DIMPLIB=...
#         [-DLLVM_DLLTOOL=... -DMACHINE=i386|i386:x86-64 -DMSVC_IMPLIB=...] -P stdcall_implib.cmake
file(STRINGS "${DEF}" _lines)
set(_gnu "LIBRARY ${DLL}\nEXPORTS\n")
set(_ms "LIBRARY ${DLL}\nEXPORTS\n")
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^ +([^ ]+) = ([^ ]+) @[0-9]+( DATA)?")
    set(_export "${CMAKE_MATCH_1}")
    set(_symbol "${CMAKE_MATCH_2}")
    if(CMAKE_MATCH_3)
      # Data under another name: the symbol imports the exported name.
      string(APPEND _gnu "${_symbol} DATA == \"${_export}\"\n")
      string(APPEND _ms "${_export} DATA\n")
    elseif(_symbol MATCHES "^${_export}@[0-9]+$")
      string(APPEND _gnu "${_symbol}\n")
      string(APPEND _ms "${_symbol}\n")
    else()
      string(APPEND _gnu "${_export}\n")
      string(APPEND _ms "${_export}\n")
    endif()
  elseif(_line MATCHES "^ +([^ ]+) @[0-9]+( DATA)?")
    string(APPEND _gnu "${CMAKE_MATCH_1}${CMAKE_MATCH_2}\n")
    string(APPEND _ms "${CMAKE_MATCH_1}${CMAKE_MATCH_2}\n")
  endif()
endforeach()
file(WRITE "${DEF}.imports" "${_gnu}")
execute_process(COMMAND ${DLLTOOL} -k -d "${DEF}.imports" -l "${IMPLIB}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "dlltool failed on ${DEF}.imports")
endif()
if(LLVM_DLLTOOL)
  file(WRITE "${DEF}.msvc" "${_ms}")
  execute_process(COMMAND ${LLVM_DLLTOOL} -m ${MACHINE} -k -d "${DEF}.msvc" -l "${MSVC_IMPLIB}"
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "llvm-dlltool failed on ${DEF}.msvc")
  endif()
endif()
