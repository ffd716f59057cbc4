# The Python package korflowid as a wheel with the library in it: `cmake --workflow --preset python`
# leaves korflowid-<version>-py3-none-manylinux_2_28_<machine>.whl in the build directory (preset
# python-arm64 for aarch64). The package loads the library by its path beside the module, so the
# wheel carries the library under its SONAME, stripped.
#
# The tag promises glibc 2.28 (RHEL 8): the symbol audit runs on the very file that goes into the
# wheel, and a library that asks for more fails the build instead of giving a wheel whose tag lies.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "KORFLOWID_BUILD_PYTHON: wheels are built for Linux only")
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(korflowid_wheel_machine x86_64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(korflowid_wheel_machine aarch64)
else()
  message(FATAL_ERROR "KORFLOWID_BUILD_PYTHON: no wheel tag for ${CMAKE_SYSTEM_PROCESSOR}")
endif()
if(NOT CMAKE_STRIP)
  message(FATAL_ERROR "KORFLOWID_BUILD_PYTHON: no strip program for the target")
endif()
# The packing script runs on the build machine, whatever the target.
find_package(Python3 3.8 COMPONENTS Interpreter REQUIRED)

set(KORFLOWID_WHEEL_PLATFORM manylinux_2_28_${korflowid_wheel_machine})
set(KORFLOWID_WHEEL ${PROJECT_BINARY_DIR}/korflowid-${PROJECT_VERSION}-py3-none-${KORFLOWID_WHEEL_PLATFORM}.whl)
set(korflowid_wheel_library ${PROJECT_BINARY_DIR}/python/$<TARGET_SONAME_FILE_NAME:KORFlowID>)

# Always run: packing takes a moment, and the wheel's time stamps follow the last commit.
add_custom_target(korflowid_wheel ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/python
  COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${korflowid_wheel_library} $<TARGET_FILE:KORFlowID>
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-symbol-versions.sh ${korflowid_wheel_library}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/python/make_wheel.py
          --package ${PROJECT_SOURCE_DIR}/python/korflowid
          --library ${korflowid_wheel_library}
          --library-name $<TARGET_SONAME_FILE_NAME:KORFlowID>
          --version ${PROJECT_VERSION}
          --platform ${KORFLOWID_WHEEL_PLATFORM}
          --summary ${PROJECT_DESCRIPTION}
          --output-dir ${PROJECT_BINARY_DIR}
          --source-dir ${PROJECT_SOURCE_DIR}
  BYPRODUCTS ${KORFLOWID_WHEEL}
  COMMENT "Packing ${KORFLOWID_WHEEL}"
  VERBATIM)
add_dependencies(korflowid_wheel KORFlowID)
