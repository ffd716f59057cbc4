# Writes the module-definition files of KORFlowID.dll from the public header itself, so that the names
# an MSVC-built caller links against cannot drift from the declarations:
#   DEF        every exported function under its GCC name, and its MSVC name as an alias of it (for the
#              MinGW link of the DLL);
#   MSVC_DEF   the MSVC names alone (for llvm-dlltool, which makes the import library KORFlowID.lib).
# clang parses the header once as an MSVC x64 caller and once as a MinGW one; every function that the
# header declares for import is exported, and both parses list them in declaration order.
# On x64 both toolchains share one calling convention, and the exports pass only pointers, unsigned
# int, 32-bit enums and const char*, so one body serves both names.
# Usage: cmake -DCLANG=<clang++> -DHEADER=<KORFlow.h> -DDEF=<out.def> -DMSVC_DEF=<out.def>
#              [-DDLL_NAME=KORFlowID.dll] -P KORFlowIDModuleDefinition.cmake
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

function(korflowid_imports_for target out)
  execute_process(
    COMMAND "${CLANG}" --target=${target} -ffreestanding -std=c++17 -fsyntax-only -x c++
            -Xclang -ast-dump=json "${HEADER}"
    OUTPUT_VARIABLE ast ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLANG} --target=${target} cannot parse ${HEADER}:\n${errors}")
  endif()
  set(found)
  korflowid_collect_imports("${ast}" found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

korflowid_imports_for(x86_64-pc-windows-msvc msvc)
korflowid_imports_for(x86_64-w64-mingw32 gnu)
list(LENGTH msvc count)
list(LENGTH gnu gnu_count)
if(count EQUAL 0 OR NOT count EQUAL gnu_count)
  message(FATAL_ERROR "${HEADER}: ${count} MSVC and ${gnu_count} GCC names of exported functions")
endif()

get_filename_component(header_name "${HEADER}" NAME)
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
    message(FATAL_ERROR "${HEADER}: declaration ${index} is ${msvc_name} for MSVC but ${gnu_name} for GCC")
  endif()
  string(APPEND both "  ${gnu_symbol}\n")
  string(APPEND aliases "  ${msvc_symbol}=${gnu_symbol}\n")
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
