# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # Each Debian package's description starts with a summary line of its own; CPack would put the
  # project's in front of all three.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
  if(NOT CPACK_KORFLOWID_DEBIAN_LAYOUT)
    message(WARNING "These Debian packages come from a build without KORFLOWID_DEBIAN_LAYOUT: no copyright or "
                    "changelog, and the library outside the multiarch directory. "
                    "`cmake --workflow --preset deb` builds them as Debian wants them.")
  endif()
endif()
