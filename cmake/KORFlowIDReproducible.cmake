# Builds that give the same bytes wherever and whenever they run (scripts/release.sh relies on it).
#
# The source and build folders would enter the binaries through __FILE__, assertion messages and debug
# information, and so into the build id that stripping keeps: they are mapped to fixed names. On by
# default when SOURCE_DATE_EPOCH is set, as build systems that aim at reproducible builds set it.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(korflowid_reproducible_default ON)
else()
  set(korflowid_reproducible_default OFF)
endif()
option(KORFLOWID_REPRODUCIBLE "Map the source and build folders to fixed names in what the compiler writes"
       ${korflowid_reproducible_default})
unset(korflowid_reproducible_default)

if(KORFLOWID_REPRODUCIBLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # The compilers try the last map first, and the build folder may lie inside the source folder.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=/usr/src/korflowid
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}=/usr/src/korflowid/build)
endif()

# A PE file carries its link time unless told not to; nothing here reads it.
if(MINGW)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
