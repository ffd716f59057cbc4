# Fails unless the DLL exports exactly the public interface: nothing missing, nothing internal.
# Usage: cmake -DOBJDUMP=<objdump> -DDLL=<KORFlowID.dll> -P CheckDllExports.cmake
set(expected
  _Z10getKORRootPcj
  _Z9KORFlowIDPcj
  _Z9KORFlowIDv
  _ZN7KORFlow12GetInstallIdEPcj
  _ZN7KORFlow13GetFlowStringEv
  _ZN7KORFlow13GetUpdateNameEPcj
  _ZN7KORFlow14GetVersionTextEPcj
  _ZN7KORFlow15GetFullFlowNameEPcj
  _ZN7KORFlow16GetFlowVersionIdEv
  _ZN7KORFlow18GetExactAccessDateEPcj
  _ZN7KORFlow18GetFlowId_fromFileEPcj
  _ZN7KORFlow20GetFlowVersionStringEv
  _ZN7KORFlow22GetAbbreviatedFlowNameEPcj
  _ZN7KORFlow9GetFlowIdEv)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ ([^\n]*)" name_line "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL "KORFlowID.dll")
  message(FATAL_ERROR "the DLL calls itself '${CMAKE_MATCH_1}', not KORFlowID.dll")
endif()
# Lines such as "\t[   3] _ZN7KORFlow12GetInstallIdEPcj" of the name pointer table, which comes
# after the address table's rows of the same shape.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" table_start)
if(table_start EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${table_start} -1 table)
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(exported)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" symbol "${row}")
  list(APPEND exported "${symbol}")
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  list(JOIN exported "\n  " got)
  message(FATAL_ERROR "KORFlowID.dll exports:\n  ${got}")
endif()
list(LENGTH exported count)
message(STATUS "KORFlowID.dll exports exactly the ${count} public names")
