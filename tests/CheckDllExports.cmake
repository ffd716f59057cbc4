# Fails unless the DLL exports exactly the public interface, nothing missing and nothing internal:
# the GCC names below and, when MSVC_DEF is given, the MSVC names listed there, each at the address of
# the GCC-named function with the same name and parameters. The C functions' names are the same for
# both toolchains and exported once.
# Usage: cmake -DOBJDUMP=<objdump> -DDLL=<KORFlowID.dll> [-DMSVC_DEF=<KORFlowID-msvc.def>
#              -DUNDNAME=<llvm-undname> -DCXXFILT=<c++filt>] -P CheckDllExports.cmake
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
  _ZN7KORFlow9GetFlowIdEv
  kor_flow
  kor_flow_code
  kor_label_value
  kor_library_version
  kor_release
  kor_report
  kor_root
  kor_status_text
  kor_value)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ ([^\n]*)" name_line "${dump}")
# A loader looks for the name in the export directory, which import libraries copy: the file's own.
get_filename_component(file_name "${DLL}" NAME)
if(NOT CMAKE_MATCH_1 STREQUAL file_name)
  message(FATAL_ERROR "the DLL calls itself '${CMAKE_MATCH_1}', not ${file_name}")
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
  string(REGEX MATCH "^\n\t\\[ *([0-9]+)\\] (.+)$" row "${row}")
  list(APPEND exported "${CMAKE_MATCH_2}")
  set(ordinal_of_${CMAKE_MATCH_2} ${CMAKE_MATCH_1})
endforeach()
# "\t[   3] +base[   4] 1c40 Export RVA": the address of the function at ordinal index 3.
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+ Export RVA" addresses "${dump}")
foreach(row IN LISTS addresses)
  string(REGEX MATCH "\\[ *([0-9]+)\\] \\+base\\[ *[0-9]+\\] +([0-9a-fA-F]+)" row "${row}")
  set(address_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()

set(gnu_names ${expected})
set(msvc_names)
if(DEFINED MSVC_DEF)
  file(STRINGS "${MSVC_DEF}" def_lines REGEX "^  [^ ]+$")
  foreach(line IN LISTS def_lines)
    string(STRIP "${line}" line)
    list(APPEND msvc_names "${line}")
  endforeach()
  list(LENGTH msvc_names msvc_count)
  list(LENGTH gnu_names gnu_count)
  if(NOT msvc_count EQUAL gnu_count)
    message(FATAL_ERROR "${MSVC_DEF} lists ${msvc_count} MSVC names for ${gnu_count} exports")
  endif()
  list(APPEND expected ${msvc_names})
  list(REMOVE_DUPLICATES expected)
endif()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  list(JOIN exported "\n  " got)
  message(FATAL_ERROR "${file_name} exports:\n  ${got}")
endif()

# Each MSVC name must reach the function of the same name and parameters: an alias of the wrong
# overload links and loads fine, and only answers wrongly.
function(signature_of demangler symbol out)
  execute_process(COMMAND "${demangler}" "${symbol}" OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  string(REGEX REPLACE "^.*\n([^\n]+)\n*$" "\\1" text "\n${text}")  # llvm-undname echoes the input first
  string(REGEX REPLACE "^.*__cdecl " "" text "${text}")                  # drop MSVC's return type
  string(REPLACE " " "" text "${text}")
  string(REPLACE "(void)" "()" text "${text}")
  if(failed OR text STREQUAL "" OR text STREQUAL symbol)
    message(FATAL_ERROR "${demangler} cannot demangle ${symbol}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(msvc_names AND DEFINED UNDNAME AND DEFINED CXXFILT)
  # A C name is its own twin.
  list(FILTER gnu_names INCLUDE REGEX "^_Z")
  list(FILTER msvc_names INCLUDE REGEX "^\\?")
  foreach(gnu_name IN LISTS gnu_names)
    signature_of("${CXXFILT}" "${gnu_name}" signature)
    set(gnu_name_of_${signature} ${gnu_name})
  endforeach()
  foreach(msvc_name IN LISTS msvc_names)
    signature_of("${UNDNAME}" "${msvc_name}" msvc_signature)
    set(address ${address_of_${ordinal_of_${msvc_name}}})
    set(twin ${gnu_name_of_${msvc_signature}})
    if(NOT twin)
      message(FATAL_ERROR "${msvc_name} (${msvc_signature}) has no GCC-named twin")
    endif()
    set(twin_address ${address_of_${ordinal_of_${twin}}})
    if(address STREQUAL "" OR NOT address STREQUAL twin_address)
      message(FATAL_ERROR "${msvc_name} is at '${address}' but ${twin} (${msvc_signature}) at '${twin_address}'")
    endif()
  endforeach()
endif()

list(LENGTH exported count)
message(STATUS "${file_name} exports exactly the ${count} public names")
