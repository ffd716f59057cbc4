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

include(${CMAKE_CURRENT_LIST_DIR}/KORFlowIDHostHeaders.cmake)
