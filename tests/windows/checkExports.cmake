# Checks the export table of a Windows library against the four entry points
# of an in-process server at their ordinals, exactly:
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DLIBRARY=Quorvel.dll -P checkExports.cmake
set(expected "1 DllUnregisterServer;2 DllRegisterServer;3 DllCanUnloadNow;4 DllGetClassObject")

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed (${rc})")
endif()

string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" base "${dump}")
if(NOT base)
  message(FATAL_ERROR "${LIBRARY} has no export table")
endif()
set(base ${CMAKE_MATCH_1})
string(REGEX MATCH "\nName[ \t]+[0-9a-f]+ ([^\n]*)" name "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL "Quorvel.dll")
  message(FATAL_ERROR "the export directory names \"${CMAKE_MATCH_1}\", not \"Quorvel.dll\"")
endif()

# objdump lists the names with their ordinal less the base: "[   2] DllCanUnloadNow".
string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" names "${dump}")
string(REGEX REPLACE "\n\n.*" "" names "${names}")
string(REPLACE "\n" ";" lines "${names}")
set(actual "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\t\\[ *([0-9]+)\\] (.+)$")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND actual "${ordinal} ${CMAKE_MATCH_2}")
  endif()
endforeach()
list(SORT actual COMPARE NATURAL)

string(REGEX MATCH "Export Address Table[ \t]+([0-9a-f]+)" count "${dump}")
if(NOT actual STREQUAL expected OR NOT CMAKE_MATCH_1 EQUAL 4)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  ${actual}\nexpected:\n  ${expected}\n"
    "(${CMAKE_MATCH_1} addresses in the export address table)")
endif()
message(STATUS "exports: ${actual}")
