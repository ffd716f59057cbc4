# Whether the korflowid tool is static, with the library's code linked in.
#
# Every executable linked here asks for this machine's glibc (__libc_start_main@GLIBC_2.34 from the
# startup files, __libc_single_threaded and newer libstdc++ symbols from the headers), so a tool linked
# to the shared libraries runs on no older system. A static tool asks for nothing and runs on any Linux,
# which is what the relocatable tarball and the RPM packages promise (the rpm preset asks for it); the
# Debian packages' tool uses the packaged library instead (the deb preset turns it off). Sanitizer
# runtimes cannot be linked statically.
#
# Asking is not enough: a static link needs the static C and C++ libraries, which a default Fedora or
# RHEL lacks (glibc-static, libstdc++-static). A probe links a small static-pie C++ program first; where
# that fails, the tool links the shared library, and configure says so, rather than the build failing
# at its last step.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT KORFLOWID_DEBIAN_LAYOUT AND NOT KORFLOWID_SANITIZE
   AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  set(korflowid_static_tool_default ON)
else()
  set(korflowid_static_tool_default OFF)
endif()
option(KORFLOWID_STATIC_TOOL
       "Link the korflowid tool statically, with the library's code in it (Linux), where static linking works"
       ${korflowid_static_tool_default})

if(KORFLOWID_STATIC_TOOL AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(probe_source ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/korflowid-static-pie-probe.cpp)
  # Exceptions, strings and stdio: libstdc++, libgcc's unwinder and libc, all from their static archives.
  file(WRITE ${probe_source} [=[
#include <cstdio>
#include <string>
int main(int argc, char**) {
  try {
    throw std::string(static_cast<std::string::size_type>(argc), 'x');
  } catch (const std::string& text) {
    std::puts(text.c_str());
  }
}
]=])
  # Probed at every configure, so that static libraries installed since are seen.
  unset(KORFLOWID_STATIC_PIE_LINKS CACHE)
  try_compile(KORFLOWID_STATIC_PIE_LINKS ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/korflowid-static-pie-probe
              SOURCES ${probe_source}
              CMAKE_FLAGS -DCMAKE_POSITION_INDEPENDENT_CODE=ON
              LINK_OPTIONS -static-pie
              CXX_STANDARD 17
              OUTPUT_VARIABLE probe_output)
  if(KORFLOWID_STATIC_PIE_LINKS)
    message(STATUS "korflowid: a static-pie program links here, so the tool is static")
  else()
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/korflowid-static-pie-probe.log "${probe_output}")
    message(WARNING
      "korflowid: KORFLOWID_STATIC_TOOL is ON, but a static-pie C++ program does not link here (no static C or C++ "
      "libraries? On Fedora and RHEL: glibc-static, libstdc++-static). The tool links the shared library "
      "instead, and runs only where this system's glibc or a newer one is; the linker's output is in "
      "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/korflowid-static-pie-probe.log.")
    # Shadows the cache entry for this configure only: the next one probes again.
    set(KORFLOWID_STATIC_TOOL OFF)
  endif()
  unset(probe_source)
  unset(probe_output)
endif()
