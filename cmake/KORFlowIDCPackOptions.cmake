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
if(CPACK_GENERATOR STREQUAL "RPM")
  # The library is found through ld.so.cache and the .pc file names its prefix: the packages work only
  # where they were built for, and CPack would otherwise make them relocatable.
  set(CPACK_PACKAGE_RELOCATABLE OFF)
  # CPack writes scriptlets only as shell script bodies and takes no other directives per package, so the
  # library package's own lines are chosen by its name: ldconfig run directly after install and
  # removal, as the distributions run it, and no /usr/lib/.build-id links, which rpmlint takes for
  # unversioned files of a library package (no debug information ships for them to lead to). Set here
  # rather than in CMakeLists.txt: CPackConfig.cmake does not keep the quotes.
  string(CONCAT CPACK_RPM_SPEC_MORE_DEFINE
    "%if \"%{name}\" == \"${CPACK_RPM_RUNTIME_PACKAGE_NAME}\"\n"
    "%global _build_id_links none\n"
    "%post -p /sbin/ldconfig\n"
    "%postun -p /sbin/ldconfig\n"
    "%endif\n"
    # The build time and the files' times from SOURCE_DATE_EPOCH when it is set, and one build host
    # name for every build, so that two builds of one commit give the same package.
    "%global use_source_date_epoch_as_buildtime 1\n"
    "%global clamp_mtime_to_source_date_epoch 1\n"
    "%global _buildhost reproducible.korflowid.example.org")
endif()
if(CPACK_GENERATOR STREQUAL "RPM" AND NOT CPACK_KORFLOWID_RPM_LAYOUT)
  message(WARNING "These RPM packages come from a build without KORFLOWID_RPM_LAYOUT: the library outside "
                  "/usr/lib64 and not executable, the pkg-config prefix found at run time. "
                  "`cmake --workflow --preset rpm` builds them as RHEL and Fedora want them.")
endif()
