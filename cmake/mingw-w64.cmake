# Cross-builds the Windows flavour (KORFlowID.dll and its tests) with MinGW-w64 on Linux; the tests
# then run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORFLOWID_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: the win32 one has no std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${KORFLOWID_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORFLOWID_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORFLOWID_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORFLOWID_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static runtime: with only -static-libgcc -static-libstdc++ the binaries still need
# libwinpthread-1.dll, and Wine fails silently (exit 53) when a DLL is missing.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

# Windows finds an implicitly linked DLL next to the exe, so every exe and the DLL share one folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin CACHE PATH "Folder of every .exe and .dll")

find_program(KORFLOWID_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT KORFLOWID_WINE64)
  find_program(KORFLOWID_WINE64 NAMES wine64 wine)
endif()
if(KORFLOWID_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORFLOWID_WINE64})
endif()

# Header-only packages of the host serve the target too. They are staged under a prefix of their
# own: the host's /usr/include on the cross compiler's path would shadow its C runtime headers.
if(NOT CMAKE_PROJECT_NAME STREQUAL "CMAKE_TRY_COMPILE")
  set(korflowid_host_headers ${CMAKE_BINARY_DIR}/host-header-packages)
  foreach(korflowid_package IN ITEMS nlohmann_json)
    set(korflowid_config /usr/share/cmake/${korflowid_package})
    if(EXISTS ${korflowid_config} AND NOT DEFINED ${korflowid_package}_DIR)
      file(COPY ${korflowid_config} DESTINATION ${korflowid_host_headers}/share/cmake)
      set(${korflowid_package}_DIR ${korflowid_host_headers}/share/cmake/${korflowid_package} CACHE PATH "")
    endif()
  endforeach()
  if(EXISTS /usr/include/nlohmann AND NOT EXISTS ${korflowid_host_headers}/include/nlohmann)
    file(MAKE_DIRECTORY ${korflowid_host_headers}/include)
    file(CREATE_LINK /usr/include/nlohmann ${korflowid_host_headers}/include/nlohmann SYMBOLIC)
  endif()
endif()
