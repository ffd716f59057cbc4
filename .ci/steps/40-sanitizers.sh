#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer (preset asan,
# build-asan/); any finding stops the test that meets it.
set -euo pipefail
started=$SECONDS
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
CXX=${SANITIZER_CXX:-clang++} cmake --preset asan
cmake --build --preset asan
ctest --preset asan
echo "== sanitizer suite passed in $((SECONDS - started)) s"
