# Included by the cross toolchain files. Header-only packages of the host serve the target too; they
# are staged under a prefix of their own, as the host's /usr/include on the cross compiler's path would
# shadow the target's C library headers.
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
