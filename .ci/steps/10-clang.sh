#!/usr/bin/env bash
# The same build and tests with clang++, warnings as errors: both compilers must stay warning-free.
set -euo pipefail
CXX=clang++ cmake -S . -B build-clang -DKORFLOWID_WARNINGS_AS_ERRORS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-clang -j2
ctest --test-dir build-clang -j2 --output-on-failure --no-tests=error
