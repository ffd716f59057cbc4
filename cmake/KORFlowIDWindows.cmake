# What the Windows build adds to a module: a version resource, the names an MSVC-built caller links
# against with an import library in Microsoft's format, and stripping on install.

set(KORFLOWID_CMAKE_HELPERS ${CMAKE_CURRENT_LIST_DIR})

# A VERSIONINFO resource for `target`, so that Explorer, installers and support staff can read which
# release a file is without loading it. Its names are those of the file as built, a debug postfix or
# another OUTPUT_NAME included (KORFlowIDd.dll), which is known per configuration only.
function(korflowid_add_version_resource target description)
  set(rc_original_filename "$<TARGET_FILE_NAME:${target}>")
  set(rc_internal_name "$<TARGET_FILE_BASE_NAME:${target}>")
  set(rc_description ${description})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(rc_file_type VFT_APP)
  else()
    set(rc_file_type VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${KORFLOWID_CMAKE_HELPERS}/KORFlowIDVersion.rc.in ${rc}.in @ONLY)
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_version-$<CONFIG>.rc INPUT ${rc}.in)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version-$<CONFIG>.rc)
endfunction()

# Strips the installed file of `target`; the build tree keeps its debug information.
function(korflowid_strip_on_install target)
  if(NOT CMAKE_STRIP)
    return()
  endif()
  set(installed "${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>")
  if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(installed "\${CMAKE_INSTALL_PREFIX}/${installed}")
  endif()
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-all \"\$ENV{DESTDIR}${installed}\"
                                COMMAND_ERROR_IS_FATAL ANY)")
endfunction()

# MinGW exports the GCC names of the headers' functions. The module-definition file generated from
# the headers adds each MSVC name of a C++ function as an alias of the same function (a C function has
# one name for both), and llvm-dlltool makes the import
# library that MSVC's linker (and lld-link) reads: KORFlowID.lib beside libKORFlowID.dll.a. Both name
# the DLL as it is built, a debug postfix or another OUTPUT_NAME included. Without clang or
# llvm-dlltool the DLL keeps its GCC names only, which is all a MinGW-built caller needs.
function(korflowid_add_msvc_names target header)
  set(headers ${header} ${ARGN})
  find_program(KORFLOWID_CLANG NAMES clang++ clang++-14 clang clang-14
               DOC "clang, which parses the public header as an MSVC caller would")
  find_program(KORFLOWID_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14
               DOC "llvm-dlltool, which writes the import library for MSVC-built callers")
  if(NOT KORFLOWID_CLANG OR NOT KORFLOWID_DLLTOOL)
    message(WARNING "No clang or llvm-dlltool: ${target} is built with its GCC names only, for MinGW-built "
                    "callers; the names MSVC-built callers link against and the import library "
                    "${target}.lib are left out (Debian: apt-get install clang llvm).")
    return()
  endif()
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
  set(msvc_def ${CMAKE_CURRENT_BINARY_DIR}/${target}-msvc.def)
  set(script ${KORFLOWID_CMAKE_HELPERS}/KORFlowIDModuleDefinition.cmake)
  # The cross compiler's own header directories, for a header that includes standard headers.
  string(REPLACE ";" "$<SEMICOLON>" include_dirs "${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES}")
  list(JOIN headers "|" header_list)
  add_custom_command(
    OUTPUT ${def} ${msvc_def}
    COMMAND ${CMAKE_COMMAND} -DCLANG=${KORFLOWID_CLANG} -DHEADER=${header_list} -DDEF=${def} -DMSVC_DEF=${msvc_def}
            -DDLL_NAME=$<TARGET_FILE_NAME:${target}> -DINCLUDE_DIRS=${include_dirs} -P ${script}
    DEPENDS ${headers} ${script}
    COMMENT "Export names of ${target} from its public headers"
    VERBATIM)
  target_sources(${target} PRIVATE ${def})

  # After every link of the DLL, so that the two import libraries never describe different modules.
  # Named like the DLL: KORFlowIDd.lib for KORFlowIDd.dll.
  set(import_library ${CMAKE_CURRENT_BINARY_DIR}/$<TARGET_FILE_BASE_NAME:${target}>.lib)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${KORFLOWID_DLLTOOL} -m i386:x86-64 -D $<TARGET_FILE_NAME:${target}> -d ${msvc_def} -l ${import_library}
    COMMENT "Import library of ${target} for MSVC-built callers"
    VERBATIM)
  # The library's path holds a generator expression: read it through $<TARGET_GENEX_EVAL>.
  set_target_properties(${target} PROPERTIES
    KORFLOWID_MSVC_IMPORT_LIBRARY ${import_library}
    KORFLOWID_MSVC_IMPORT_DEFINITION ${msvc_def})
  install(FILES ${import_library} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
endfunction()

# Whether the module carries its own copy of the C++ runtime (MinGW's -static or -static-libstdc++
# when linking it): only then is what that runtime allocated at load the module's own to free at
# unload, which DllMain does where `objects` (the module's sources) are compiled with
# KORFLOWID_STATIC_CXX_RUNTIME. A runtime in libstdc++-6.dll belongs to the whole process.
function(korflowid_free_static_runtime_at_unload objects)
  string(TOUPPER "${CMAKE_BUILD_TYPE}" config)
  set(flags " ${CMAKE_SHARED_LINKER_FLAGS} ${CMAKE_SHARED_LINKER_FLAGS_${config}} ")
  if(flags MATCHES " -static(-libstdc\\+\\+)? ")
    target_compile_definitions(${objects} PRIVATE KORFLOWID_STATIC_CXX_RUNTIME)
  endif()
endfunction()
