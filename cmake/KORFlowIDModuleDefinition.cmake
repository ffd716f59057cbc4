# Writes the module-definition files of KORFlowID.dll from the public headers themselves, so that the
# names an MSVC-built caller links against cannot drift from the declarations:
#   DEF        every exported function under its GCC name, and its MSVC name as an alias of it (for the
#              MinGW link of the DLL); a C function has one name for both, and no alias;
#   MSVC_DEF   the MSVC names alone (for llvm-dlltool, which makes the import library KORFlowID.lib).
# clang parses the header once as an MSVC x64 caller and once as a MinGW one; every function that the
# header itself declares for import is exported, and both parses list them in declaration order.
# On x64 both toolchains share one calling convention, and the exports pass only pointers, unsigned
# int, 32-bit enums and const char*, so one body serves both names.
# DLL_NAME is the file the DLL is built as (a debug postfix or another OUTPUT_NAME included): the DLL's
# export directory and both import libraries name it, and a loader looks for exactly that file.
# INCLUDE_DIRS are the MinGW compiler's own include directories, in its order, so that the header may
# include standard C and C++ headers; both parses read that one runtime's headers.
# HEADER may list several headers, separated by "|"; their functions are taken in that order.
# Usage: cmake -DCLANG=<clang++> -DHEADER=<KORFlow.h[|korflowid.h]> -DDEF=<out.def> -DMSVC_DEF=<out.def>
#              [-DDLL_NAME=KORFlowID.dll] [-DINCLUDE_DIRS=<dir;...>] -P KORFlowIDModuleDefinition.cmake
cmake_minimum_required(VERSION 3.25)
foreach(required CLANG HEADER DEF MSVC_DEF)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "KORFlowIDModuleDefinition.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT DEFINED DLL_NAME)
  set(DLL_NAME KORFlowID.dll)
endif()

# Appends "name|mangled name" for every function below `node` that carries a dllimport attribute.
function(korflowid_collect_imports node out)
  set(found ${${out}})
  string(JSON count ERROR_VARIABLE no_inner LENGTH "${node}" inner)
  if(no_inner OR count EQUAL 0)
    set(${out} ${found} PARENT_SCOPE)
    return()
  endif()
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    string(JSON child GET "${node}" inner ${index})
    string(JSON kind GET "${child}" kind)
    if(kind STREQUAL "FunctionDecl" OR kind STREQUAL "CXXMethodDecl")
      string(JSON attributes ERROR_VARIABLE no_attributes GET "${child}" inner)
      if(NOT no_attributes AND attributes MATCHES "\"DLLImportAttr\"")
        string(JSON name GET "${child}" name)
        string(JSON mangled GET "${child}" mangledName)
        list(APPEND found "${name}|${mangled}")
      endif()
    elseif(kind MATCHES "^(CXXRecordDecl|NamespaceDecl|LinkageSpecDecl)$")
      korflowid_collect_imports("${child}" found)
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(korflowid_run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLANG} cannot ${what} ${HEADER}:\n${errors}")
  endif()
endfunction()

# Splits the preprocessed header into the lines of the header itself (OWN) and those of the files it
# includes (INCLUDED), each keeping its line markers, so that the included declarations can go into a
# precompiled header: clang's AST dump leaves out what it reads from one. Only the header's own
# declarations are then considered, not the C runtime's dllimport functions, and the dump is small.
function(korflowid_split_preprocessed text own_out included_out)
  # List-safe stand-ins for the characters that CMake lists treat specially.
  string(ASCII 2 semicolon)
  string(ASCII 3 open)
  string(ASCII 4 close)
  string(REPLACE ";" "${semicolon}" text "\n${text}")
  string(REPLACE "[" "${open}" text "${text}")
  string(REPLACE "]" "${close}" text "${text}")
  # A marker '# <line> "<file>" <flags>' says where the next line comes from; each starts a chunk.
  string(REGEX REPLACE "\n# ([0-9]+ \"[^\n]*)" ";\\1" chunks "${text}")
  set(own "")
  set(included "")
  set(main_file "")
  foreach(chunk IN LISTS chunks)
    if(NOT chunk MATCHES "^([0-9]+) (\"[^\n]*\")([ 0-9]*)(.*)$")
      continue()  # the empty text before the first marker
    endif()
    set(line ${CMAKE_MATCH_1})
    set(file "${CMAKE_MATCH_2}")
    set(flags "${CMAKE_MATCH_3}")
    set(body "${CMAKE_MATCH_4}")
    if(main_file STREQUAL "")
      set(main_file "${file}")
    endif()
    # Flags 1 and 2 (entering and leaving a file) no longer match an include stack once the lines
    # are apart; 3 (a system header) and 4 (extern "C") still hold.
    set(kept "")
    foreach(flag 3 4)
      if(flags MATCHES " ${flag}( |$)")
        string(APPEND kept " ${flag}")
      endif()
    endforeach()
    if(file STREQUAL main_file)
      string(APPEND own "# ${line} ${file}${kept}${body}\n")
    else()
      string(APPEND included "# ${line} ${file}${kept}${body}\n")
    endif()
  endforeach()
  foreach(part own included)
    string(REPLACE "${semicolon}" ";" ${part} "${${part}}")
    string(REPLACE "${open}" "[" ${part} "${${part}}")
    string(REPLACE "${close}" "]" ${part} "${${part}}")
  endforeach()
  set(${own_out} "${own}" PARENT_SCOPE)
  set(${included_out} "${included}" PARENT_SCOPE)
endfunction()

function(korflowid_imports_for target out)
  # Only the given include directories, after clang's own headers (which take the place of GCC's).
  set(flags --target=${target} -std=c++17 -ffreestanding -nostdlibinc)
  foreach(dir IN LISTS INCLUDE_DIRS)
    list(APPEND flags -idirafter "${dir}")
  endforeach()
  if(target MATCHES "msvc")
    # MinGW's runtime headers are written for GCC, which defines __GNUC__ and a __declspec macro;
    # the MSVC-mode parse gets both, as clang gives them to a MinGW target, so that it reads those
    # headers as the DLL's own compiler does. Neither changes a mangled name.
    list(APPEND flags -fgnuc-version=4.2.1 "-D__declspec(x)=__attribute__((x))")
  endif()
  set(scratch "${DEF}.${target}")
  korflowid_run("preprocess" "${CLANG}" ${flags} -E -x c++ "${HEADER}" -o "${scratch}.ii")
  file(READ "${scratch}.ii" preprocessed)
  korflowid_split_preprocessed("${preprocessed}" own included)
  file(WRITE "${scratch}-own.ii" "${own}")
  set(pch)
  if(included MATCHES "[^ \t\r\n]")
    file(WRITE "${scratch}-included.h" "${included}")
    korflowid_run("precompile the headers included by"
                  "${CLANG}" ${flags} -x c++-header "${scratch}-included.h" -o "${scratch}.pch")
    set(pch -include-pch "${scratch}.pch")
  endif()
  execute_process(
    COMMAND "${CLANG}" ${flags} ${pch} -fsyntax-only -x c++ -Xclang -ast-dump=json "${scratch}-own.ii"
    OUTPUT_VARIABLE ast ERROR_VARIABLE errors RESULT_VARIABLE status)
  file(REMOVE "${scratch}.ii" "${scratch}-own.ii" "${scratch}-included.h" "${scratch}.pch")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLANG} --target=${target} cannot parse ${HEADER}:\n${errors}")
  endif()
  set(found)
  korflowid_collect_imports("${ast}" found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

string(REPLACE "|" ";" headers "${HEADER}")
set(msvc)
set(gnu)
set(header_names)
foreach(HEADER IN LISTS headers)
  korflowid_imports_for(x86_64-pc-windows-msvc header_msvc)
  korflowid_imports_for(x86_64-w64-mingw32 header_gnu)
  list(LENGTH header_msvc count)
  list(LENGTH header_gnu gnu_count)
  if(count EQUAL 0 OR NOT count EQUAL gnu_count)
    message(FATAL_ERROR "${HEADER}: ${count} MSVC and ${gnu_count} GCC names of exported functions")
  endif()
  list(APPEND msvc ${header_msvc})
  list(APPEND gnu ${header_gnu})
  get_filename_component(header_name "${HEADER}" NAME)
  list(APPEND header_names ${header_name})
endforeach()
list(LENGTH msvc count)
list(JOIN header_names " and " header_name)
set(both "; Generated from ${header_name}: GCC names, then each MSVC name as an alias of its GCC twin.\n")
string(APPEND both "LIBRARY \"${DLL_NAME}\"\nEXPORTS\n")
set(msvc_only "; Generated from ${header_name}: the names an MSVC-built caller links against.\n")
string(APPEND msvc_only "LIBRARY \"${DLL_NAME}\"\nEXPORTS\n")
set(aliases)
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  list(GET msvc ${index} msvc_entry)
  list(GET gnu ${index} gnu_entry)
  string(REPLACE "|" ";" msvc_entry "${msvc_entry}")
  string(REPLACE "|" ";" gnu_entry "${gnu_entry}")
  list(GET msvc_entry 0 msvc_name)
  list(GET gnu_entry 0 gnu_name)
  list(GET msvc_entry 1 msvc_symbol)
  list(GET gnu_entry 1 gnu_symbol)
  if(NOT msvc_name STREQUAL gnu_name)
    message(FATAL_ERROR "${header_name}: declaration ${index} is ${msvc_name} for MSVC but ${gnu_name} for GCC")
  endif()
  string(APPEND both "  ${gnu_symbol}\n")
  if(NOT msvc_symbol STREQUAL gnu_symbol)
    string(APPEND aliases "  ${msvc_symbol}=${gnu_symbol}\n")
  endif()
  string(APPEND msvc_only "  ${msvc_symbol}\n")
endforeach()
string(APPEND both "${aliases}")

# Rewritten only when the content changes, so that an unrelated header edit relinks nothing.
# (Not file(CONFIGURE): MSVC names are full of '@'.)
function(korflowid_write_if_changed path content)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()
korflowid_write_if_changed("${DEF}" "${both}")
korflowid_write_if_changed("${MSVC_DEF}" "${msvc_only}")
