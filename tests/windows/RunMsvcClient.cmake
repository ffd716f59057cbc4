# Runs a client built for Windows (the MSVC-built one, the C callers) with KOR_HOME set and compares
# everything it prints.
# Usage: cmake -DEMULATOR=<wine64 or empty> -DCLIENT=<exe> -DHOME=<KOR_HOME> -DEXPECTED=<file>
#              -P RunMsvcClient.cmake
set(ENV{KOR_HOME} "${HOME}")
execute_process(COMMAND ${EMULATOR} "${CLIENT}" OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" output "${output}")  # a Windows console ends lines with CR LF
file(READ "${EXPECTED}" expected)
if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "status ${status}, stderr:\n${errors}\nstdout:\n${output}\nexpected:\n${expected}")
endif()
