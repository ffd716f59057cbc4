# The RPM packages, split as RHEL and Fedora split a library, one package per install component:
# korflowid-libs (Runtime), korflowid-devel (Development) and korflowid (Tool). `cpack -G RPM` in a build
# with KORFLOWID_RPM_LAYOUT (the rpm preset) makes them; included from the top-level CMakeLists.txt.
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
# CPack names the build host's architecture (uname -m); a cross build's packages are the target's.
if(CMAKE_CROSSCOMPILING)
  set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_RPM_PACKAGE_LICENSE "No licence granted yet; all rights reserved")
set(CPACK_RPM_PACKAGE_VENDOR "${CPACK_PACKAGE_VENDOR}")
# Requires of the packages with binaries come from the binaries (rpm's own dependency generator); the
# packages of one build require each other by exact version and release, for the same architecture.
set(korflowid_rpm_evr "${PROJECT_VERSION}-${CPACK_RPM_PACKAGE_RELEASE}")

set(CPACK_RPM_RUNTIME_PACKAGE_NAME korflowid-libs)
set(CPACK_RPM_RUNTIME_PACKAGE_SUMMARY "Library that tells an application its flow and release")
set(CPACK_RPM_RUNTIME_PACKAGE_DESCRIPTION "${korflowid_about}\n\n"
    "This package holds the shared library libKORFlowID.so.${PROJECT_VERSION_MAJOR}.")
set(CPACK_RPM_RUNTIME_PACKAGE_GROUP "System Environment/Libraries")

set(CPACK_RPM_DEVELOPMENT_PACKAGE_NAME korflowid-devel)
set(CPACK_RPM_DEVELOPMENT_PACKAGE_SUMMARY "Development files for the korflowid library")
set(CPACK_RPM_DEVELOPMENT_PACKAGE_DESCRIPTION "${korflowid_about}\n\n"
    "This package holds what building against the library needs: the headers\n"
    "KORFlow.h and korflowid.h (C), the CMake package KORFlowID and the\n"
    "pkg-config file korflowid.")
set(CPACK_RPM_DEVELOPMENT_PACKAGE_GROUP "Development/Libraries")
set(CPACK_RPM_DEVELOPMENT_PACKAGE_REQUIRES "korflowid-libs%{?_isa} = ${korflowid_rpm_evr}")

set(CPACK_RPM_TOOL_PACKAGE_NAME korflowid)
set(CPACK_RPM_TOOL_PACKAGE_SUMMARY "Shows which flow and release an installation is")
set(CPACK_RPM_TOOL_PACKAGE_DESCRIPTION "${korflowid_about}\n\n"
    "This package holds the command korflowid, which shows what the library finds\n"
    "for an installation: as a summary, one value at a time or JSON.")
set(CPACK_RPM_TOOL_PACKAGE_GROUP "Applications/System")
# A tool with the library linked in needs no library package.
if(TARGET korflowid)
  get_target_property(korflowid_tool_links korflowid LINK_LIBRARIES)
  if(KORFlowID::KORFlowID IN_LIST korflowid_tool_links OR KORFlowID IN_LIST korflowid_tool_links)
    set(CPACK_RPM_TOOL_PACKAGE_REQUIRES "korflowid-libs%{?_isa} = ${korflowid_rpm_evr}")
  endif()
endif()
foreach(component RUNTIME DEVELOPMENT TOOL)
  string(CONCAT CPACK_RPM_${component}_PACKAGE_DESCRIPTION ${CPACK_RPM_${component}_PACKAGE_DESCRIPTION})
endforeach()

# Directories that the distribution's own packages (filesystem, pkgconf, cmake, man-db) own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/cmake ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
    ${CMAKE_INSTALL_FULL_MANDIR} ${CMAKE_INSTALL_FULL_MANDIR}/man1 ${CMAKE_INSTALL_FULL_DATAROOTDIR}/licenses)

# Written from CHANGELOG.md (cmake/KORFlowIDChangelog.cmake).
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm/changelog)
set(CPACK_KORFLOWID_RPM_LAYOUT ${KORFLOWID_RPM_LAYOUT})
