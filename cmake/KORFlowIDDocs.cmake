# Documentation: README.md, CHANGELOG.md and docs/ installed together, so that README's links to docs/
# hold in the installed tree and in every package; and the target `docs`, the API reference rendered by
# Doxygen from every public header into HTML, where a public name without documentation is an error.
# Included from the top-level CMakeLists.txt.

if(KORFLOWID_DEBIAN_LAYOUT)
  set(KORFLOWID_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/libkorflowid-dev)
elseif(KORFLOWID_RPM_LAYOUT)
  set(KORFLOWID_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/korflowid-devel)
else()
  set(KORFLOWID_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES README.md CHANGELOG.md DESTINATION ${KORFLOWID_DOC_DIR} COMPONENT Development)
install(DIRECTORY docs/ DESTINATION ${KORFLOWID_DOC_DIR}/docs COMPONENT Development FILES_MATCHING PATTERN "*.md")

find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  file(GLOB korflowid_doc_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/KORBuildVersion/include/*.h)
  set(KORFLOWID_DOXYGEN_OUTPUT ${PROJECT_BINARY_DIR}/docs)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_command(
    OUTPUT ${KORFLOWID_DOXYGEN_OUTPUT}/html/index.html
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${KORFLOWID_DOXYGEN_OUTPUT}/html
    COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
    DEPENDS ${korflowid_doc_headers} ${PROJECT_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "API reference from the public headers: ${KORFLOWID_DOXYGEN_OUTPUT}/html/index.html"
    VERBATIM)
  add_custom_target(docs DEPENDS ${KORFLOWID_DOXYGEN_OUTPUT}/html/index.html)
else()
  add_custom_target(docs COMMAND ${CMAKE_COMMAND} -E echo "The API reference needs Doxygen (Debian: doxygen)"
                    COMMAND ${CMAKE_COMMAND} -E false VERBATIM)
endif()
