# Cross-builds the library, the tool and the tests for arm64 (aarch64) Linux with Debian's
# g++-aarch64-linux-gnu; the tests then run here under qemu-user through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(KORFLOWID_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${KORFLOWID_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KORFLOWID_CROSS_TRIPLE}-g++)
# The multiarch name, for the Debian layout (lib/aarch64-linux-gnu) and for CPack's package names.
set(CMAKE_LIBRARY_ARCHITECTURE ${KORFLOWID_CROSS_TRIPLE})

# The target's C library and the runtimes that come with the cross compiler live here.
set(KORFLOWID_CROSS_SYSROOT /usr/${KORFLOWID_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${KORFLOWID_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L names the target's dynamic loader and libraries; a program started from an emulated one finds
# them only through QEMU_LD_PREFIX and a registered binfmt_misc handler (see .ci/steps/55-arm64.sh).
find_program(KORFLOWID_QEMU_AARCH64 qemu-aarch64)
if(KORFLOWID_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORFLOWID_QEMU_AARCH64} -L ${KORFLOWID_CROSS_SYSROOT})
endif()

# Header-only packages of the host serve the target too; staged under a prefix of their own, as the
# host's /usr/include on the cross compiler's path would shadow the target's C library headers.
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
