#!/usr/bin/env bash
# The documentation: the API reference rendered from the public headers (Doxygen's warnings are errors,
# so an undocumented public name fails), then every example of README.md and docs/ built or run as it is
# written, against the tree that README's test command built, installed into a scratch prefix.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
[ -f build/CMakeCache.txt ] || { echo "no build/: run 'cmake --workflow --preset test' first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build build --target docs
[ -f build/docs/html/index.html ] || { echo "no build/docs/html/index.html"; exit 1; }
echo "API reference: $(find build/docs/html -name '*.html' | wc -l) pages in build/docs/html/"

cmake --install build --prefix "$work/prefix" >"$work/install.log"
# Python examples import the package from the source tree with the library just installed.
library=$(find "$work/prefix" -name 'libKORFlowID.so.1')
PYTHONPATH=$PWD/python KORFLOWID_LIBRARY=$library python3 scripts/check-doc-examples.py "$work/prefix"
echo "== documentation: API reference and examples fine ($((SECONDS - started)) s)"
