# Which parts a configure builds. The library needs nothing but a C++17 compiler; the tests need
# GoogleTest, the benchmark Google Benchmark and the tool nlohmann-json. A project that takes the library
# in, or a user who only wants it installed, lacks them as often as not: each part whose dependency is
# missing is left out with a message that says why. KORFLOWID_REQUIRE_DEPENDENCIES (ON in the test
# preset) makes a missing one an error instead, so that CI cannot pass by building less.
# Included from the top-level CMakeLists.txt before the subdirectories.

option(KORFLOWID_REQUIRE_DEPENDENCIES
       "Fail when GoogleTest, Google Benchmark or nlohmann-json is missing instead of leaving out what needs it" OFF)

# A static library when the project asks for one (BUILD_SHARED_LIBS=OFF), shared otherwise: applications
# that load the module share its state, which an unset BUILD_SHARED_LIBS must not silently give up.
if(DEFINED BUILD_SHARED_LIBS AND NOT BUILD_SHARED_LIBS)
  set(KORFLOWID_SHARED OFF)
else()
  set(KORFLOWID_SHARED ON)
endif()

function(korflowid_leave_out option what why)
  if(KORFLOWID_REQUIRE_DEPENDENCIES)
    message(FATAL_ERROR "KORFlowID: ${what} cannot be built: ${why} (KORFLOWID_REQUIRE_DEPENDENCIES is ON)")
  endif()
  message(STATUS "KORFlowID: ${what} left out: ${why}")
  set(${option} OFF PARENT_SCOPE)
endfunction()

if(KORFLOWID_BUILD_TESTS)
  if(NOT KORFLOWID_SHARED)
    # The lifetime and export tests load and unload the module, and the suite's fresh processes rely
    # on one copy of the library's state.
    korflowid_leave_out(KORFLOWID_BUILD_TESTS "the tests" "they need the shared library (BUILD_SHARED_LIBS is OFF)")
  elseif(CMAKE_CROSSCOMPILING)
    set(KORFLOWID_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
    if(NOT EXISTS ${KORFLOWID_GTEST_SOURCE_DIR}/CMakeLists.txt)
      korflowid_leave_out(KORFLOWID_BUILD_TESTS "the tests"
                          "no GoogleTest sources in ${KORFLOWID_GTEST_SOURCE_DIR} (Debian: googletest)")
    endif()
  else()
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
      korflowid_leave_out(KORFLOWID_BUILD_TESTS "the tests" "GoogleTest not found (Debian: libgtest-dev)")
    endif()
  endif()
endif()

if(KORFLOWID_BUILD_TOOLS)
  find_package(nlohmann_json 3 QUIET)
  if(NOT nlohmann_json_FOUND)
    korflowid_leave_out(KORFLOWID_BUILD_TOOLS "the korflowid tool"
                        "its --json output needs nlohmann-json 3, which was not found (Debian: nlohmann-json3-dev)")
  endif()
endif()

# The benchmark measures the module against a private copy of it, on Linux only, and means nothing
# under a sanitizer; bench/CMakeLists.txt says so where it applies. Only there is a missing Google
# Benchmark a reason to stop.
if(KORFLOWID_BUILD_BENCH)
  if(NOT KORFLOWID_SHARED)
    korflowid_leave_out(KORFLOWID_BUILD_BENCH "the benchmark" "it loads the shared library (BUILD_SHARED_LIBS is OFF)")
  elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CROSSCOMPILING AND NOT KORFLOWID_SANITIZE)
    find_package(benchmark QUIET)
    if(NOT benchmark_FOUND)
      korflowid_leave_out(KORFLOWID_BUILD_BENCH "the benchmark" "Google Benchmark not found (Debian: libbenchmark-dev)")
    endif()
  endif()
endif()

if(NOT KORFLOWID_SHARED AND (KORFLOWID_DEBIAN_LAYOUT OR KORFLOWID_RPM_LAYOUT))
  message(FATAL_ERROR "KORFlowID: the Debian and RPM packages hold the shared library; drop BUILD_SHARED_LIBS=OFF")
endif()
