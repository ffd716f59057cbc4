# Fails when the module's dynamic symbol table defines anything but the public headers' functions, so
# that the exported set cannot change unnoticed.
# Usage: cmake -DNM=<nm> -DLIBRARY=<libKORFlowID.so> -P CheckExports.cmake
set(expected
  "KORFlow::GetAbbreviatedFlowName(char*, unsigned int)"
  "KORFlow::GetExactAccessDate(char*, unsigned int)"
  "KORFlow::GetFlowId()"
  "KORFlow::GetFlowId_fromFile(char*, unsigned int)"
  "KORFlow::GetFlowString()"
  "KORFlow::GetFlowVersionId()"
  "KORFlow::GetFlowVersionString()"
  "KORFlow::GetFullFlowName(char*, unsigned int)"
  "KORFlow::GetInstallId(char*, unsigned int)"
  "KORFlow::GetUpdateName(char*, unsigned int)"
  "KORFlow::GetVersionText(char*, unsigned int)"
  "KORFlowID()"
  "KORFlowID(char*, unsigned int)"
  "getKORRoot(char*, unsigned int)"
  kor_flow kor_flow_code kor_label_value kor_library_version kor_release kor_report kor_root kor_status_text
  kor_value)

execute_process(COMMAND "${NM}" -DC --defined-only "${LIBRARY}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()

set(actual)
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
    list(APPEND actual "${CMAKE_MATCH_1}")
  endif()
endforeach()

set(unexpected ${actual})
list(REMOVE_ITEM unexpected ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
list(LENGTH actual count)
if(unexpected OR missing OR NOT count EQUAL 23)
  list(JOIN unexpected "\n  " unexpected)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "exported symbols differ from the public header (${count} defined)\n"
                      "unexpected:\n  ${unexpected}\nmissing:\n  ${missing}")
endif()
message(STATUS "${LIBRARY}: exactly the ${count} public functions are exported")
