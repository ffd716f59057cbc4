# Install rules for the library: the shared module with its SONAME (component Runtime), or the static
# library, the public headers, a CMake config package and a pkg-config file (component Development).
include(CMakePackageConfigHelpers)

set(KORFLOWID_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/KORFlowID")
set(KORFLOWID_PC_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

install(TARGETS KORFlowID EXPORT KORFlowIDTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
if(MINGW AND KORFLOWID_SHARED)
  korflowid_strip_on_install(KORFlowID)
endif()
install(EXPORT KORFlowIDTargets NAMESPACE KORFlowID:: DESTINATION ${KORFLOWID_CMAKE_DIR} COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KORFlowIDConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KORFlowIDConfig.cmake INSTALL_DESTINATION ${KORFLOWID_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KORFlowIDConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KORFlowIDConfig.cmake ${PROJECT_BINARY_DIR}/KORFlowIDConfigVersion.cmake
  DESTINATION ${KORFLOWID_CMAKE_DIR} COMPONENT Development)

# The .pc file finds its prefix from where it lies (pkg-config's pcfiledir), so that an installed tree
# moved or unpacked elsewhere still works; directories given as absolute paths stay absolute rather
# than being joined to it, and an absolute pkgconfig directory names the configured prefix. Debian's
# and the RPM packages never move: their prefix is written out, so that pkg-config recognises
# /usr/include and the library directory as the system's and prints no -I or -L for them.
if(IS_ABSOLUTE "${KORFLOWID_PC_DIR}" OR KORFLOWID_DEBIAN_LAYOUT OR KORFLOWID_RPM_LAYOUT)
  set(KORFLOWID_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH korflowid_pc_up "/${KORFLOWID_PC_DIR}" "/")
  string(REGEX REPLACE "/$" "" korflowid_pc_up "${korflowid_pc_up}")
  set(KORFLOWID_PC_PREFIX "\${pcfiledir}/${korflowid_pc_up}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(KORFLOWID_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(KORFLOWID_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
# A static library's callers compile without import decorations, and C callers link the C++ runtime
# that the library's code needs (pkg-config --static).
if(KORFLOWID_SHARED)
  set(KORFLOWID_PC_CFLAGS "")
  set(KORFLOWID_PC_LIBS_PRIVATE "")
else()
  set(KORFLOWID_PC_CFLAGS " -DKORFLOWID_STATIC")
  set(KORFLOWID_PC_LIBS_PRIVATE "Libs.private: -lstdc++")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/korflowid.pc.in ${PROJECT_BINARY_DIR}/korflowid.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korflowid.pc DESTINATION ${KORFLOWID_PC_DIR} COMPONENT Development)
