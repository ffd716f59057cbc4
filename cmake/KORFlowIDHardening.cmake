# The hardening that enterprise distributions build their own packages with, for every ELF file built
# here: full RELRO with BIND_NOW (the GOT is read-only once the loader is done), a non-executable stack,
# and, in optimised builds without sanitizers, -fstack-protector-strong and -D_FORTIFY_SOURCE=2 (which
# checks nothing without optimisation and clashes with the sanitizers' own interceptors).
#
# Left out on purpose:
# - -fcf-protection: the linker marks a file IBT/SHSTK only when every object in it is marked, and
#   Debian 12's C startup files (crt1.o, crti.o) carry no CET property, so the flag marks nothing here.
# - On Windows, -fstack-protector-strong: MinGW's libssp seeds its guard through CryptGenRandom, which
#   gives KORFlowID.dll a third import (ADVAPI32) beside KERNEL32 and msvcrt. The DLL keeps ASLR with a
#   high-entropy base and DEP, which the MinGW linker sets by default.
option(KORFLOWID_HARDENING "Build ELF files with RELRO, BIND_NOW, a non-executable stack, the stack protector and _FORTIFY_SOURCE" ON)

if(NOT KORFLOWID_HARDENING OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" OR WIN32 OR APPLE)
  return()
endif()

add_link_options(LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)

if(KORFLOWID_SANITIZE OR CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  return()
endif()
# A toolchain may define _FORTIFY_SOURCE already (some compilers do by default); ours replaces it
# rather than redefining it, which would warn.
set(korflowid_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
add_compile_options($<${korflowid_optimised}:-fstack-protector-strong>
                    $<${korflowid_optimised}:-U_FORTIFY_SOURCE>
                    $<${korflowid_optimised}:-D_FORTIFY_SOURCE=2>)
unset(korflowid_optimised)
