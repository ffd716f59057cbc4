# The module-definition generator follows the header: variants of the public header go through it, and
# each must give exactly the aliases its exported declarations call for.
# Usage: cmake -DCLANG=<clang++> -DHEADER=<KORFlow.h> -DGENERATOR=<KORFlowIDModuleDefinition.cmake>
#              -DWORK=<scratch dir> [-DINCLUDE_DIRS=<dir|...>] -P ModuleDefinitionTest.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" INCLUDE_DIRS "${INCLUDE_DIRS}")
file(READ "${HEADER}" original)

# name: a label; edits: "from=>to" replacements in the header, separated by "|" (C++ needs the ";");
# count: the number of alias lines; present/absent: alias lines expected in, or missing from, the
# generated file.
function(check_variant name edits count present absent)
  set(text "${original}")
  while(NOT edits STREQUAL "")
    string(FIND "${edits}" "|" end)
    if(end EQUAL -1)
      set(edit "${edits}")
      set(edits "")
    else()
      string(SUBSTRING "${edits}" 0 ${end} edit)
      math(EXPR end "${end} + 1")
      string(SUBSTRING "${edits}" ${end} -1 edits)
    endif()
    string(FIND "${edit}" "=>" split)
    string(SUBSTRING "${edit}" 0 ${split} from)
    math(EXPR rest "${split} + 2")
    string(SUBSTRING "${edit}" ${rest} -1 to)
    string(FIND "${text}" "${from}" where)
    if(where EQUAL -1)
      message(SEND_ERROR "${name}: the header no longer holds '${from}'")
    endif()
    string(REPLACE "${from}" "${to}" text "${text}")
  endwhile()
  set(dir "${WORK}/${name}")
  file(REMOVE_RECURSE "${dir}")
  file(WRITE "${dir}/KORFlow.h" "${text}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DCLANG=${CLANG} -DHEADER=${dir}/KORFlow.h -DDEF=${dir}/both.def
                          -DMSVC_DEF=${dir}/msvc.def "-DINCLUDE_DIRS=${INCLUDE_DIRS}" -P "${GENERATOR}"
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${name}: the generator failed:\n${errors}")
    return()
  endif()
  file(STRINGS "${dir}/both.def" aliases REGEX "=")
  list(TRANSFORM aliases STRIP)
  list(LENGTH aliases got)
  if(NOT got EQUAL count)
    list(JOIN aliases "\n  " listing)
    message(SEND_ERROR "${name}: ${got} aliases instead of ${count}:\n  ${listing}")
  endif()
  foreach(line IN LISTS present)
    if(NOT line IN_LIST aliases)
      message(SEND_ERROR "${name}: no alias '${line}'")
    endif()
  endforeach()
  foreach(line IN LISTS absent)
    if(line IN_LIST aliases)
      message(SEND_ERROR "${name}: unexpected alias '${line}'")
    endif()
  endforeach()
  # The import library's list holds the MSVC names of the same aliases, in the same order.
  file(STRINGS "${dir}/msvc.def" msvc REGEX "^  [^ ]+$")
  list(TRANSFORM msvc STRIP)
  list(TRANSFORM aliases REPLACE "=.*$" "")
  if(NOT msvc STREQUAL aliases)
    message(SEND_ERROR "${name}: the MSVC list differs from the aliases' names")
  endif()
endfunction()

# Both overloads of KORFlowID, a free function and class members, each with the GCC name of the
# function with the same parameters.
set(present
  "?KORFlowID@@YAPEADXZ=_Z9KORFlowIDv"
  "?KORFlowID@@YAIPEADI@Z=_Z9KORFlowIDPcj"
  "?getKORRoot@@YAIPEADI@Z=_Z10getKORRootPcj"
  "?GetFlowId@KORFlow@@SA?AW4FlowId@1@XZ=_ZN7KORFlow9GetFlowIdEv"
  "?GetAbbreviatedFlowName@KORFlow@@SAPEADPEADI@Z=_ZN7KORFlow22GetAbbreviatedFlowNameEPcj")
check_variant(public-header "" 14 "${present}" "")

# Standard C and C++ headers included by the header add no exports of theirs (the C runtime's own
# dllimport functions among them) and change no name.
check_variant(standard-headers "#include <stdint.h>=>#include <cstdint>\n#include <cstdio>\n#include <string>"
  14 "${present}" "")

# A function added to the header, free or in the class, is exported under both names at once.
set(free_function "KORFLOWID_API char* KORFlowID();")
set(member "KORFLOWID_API static FlowId GetFlowId();")
string(CONCAT edits
  "${free_function}=>${free_function}\nKORFLOWID_API int korflowidExtra(long value);|"
  "${member}=>${member}\n  KORFLOWID_API static void GetNothing(const char* text);")
set(present
  "?korflowidExtra@@YAHJ@Z=_Z14korflowidExtral"
  "?GetNothing@KORFlow@@SAXPEBD@Z=_ZN7KORFlow10GetNothingEPKc")
check_variant(added-exports "${edits}" 16 "${present}" "")

# A changed parameter type changes both names; the old ones go.
set(declaration "KORFLOWID_API unsigned int getKORRoot(char* buffer, unsigned int size);")
string(REPLACE "unsigned int size" "unsigned long long size" changed "${declaration}")
check_variant(changed-parameter "${declaration}=>${changed}" 14
  "?getKORRoot@@YAIPEAD_K@Z=_Z10getKORRootPcy" "?getKORRoot@@YAIPEADI@Z=_Z10getKORRootPcj")

# Declarations that are not exported (an inline helper, a class member without the macro) get no alias.
string(CONCAT edits
  "${free_function}=>${free_function}\ninline int korflowidInline() { return 1; }\nint korflowidPlain(int);|"
  "${member}=>${member}\n  static int Helper();")
check_variant(not-exported "${edits}" 14 "" "")
