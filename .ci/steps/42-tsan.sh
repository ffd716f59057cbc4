#!/usr/bin/env bash
# The test suite built with clang++ and ThreadSanitizer (preset tsan, build-tsan/), less the hostile
# trees, whose time bounds do not allow for its slowdown. The concurrency tests call every export
# from many threads at once; any race stops the test that meets it.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
echo "== thread sanitizer suite passed in $((SECONDS - started)) s"
