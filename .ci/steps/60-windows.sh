#!/usr/bin/env bash
# The Windows flavour: KORFlowID.dll and the whole test suite cross-built with MinGW-w64 and run
# under Wine, then the ZIP package checked and used. scripts/windows-test.sh keeps its Wine prefix
# private and stops its server on exit.
set -euo pipefail
started=$SECONDS
missing=$(for p in g++-mingw-w64-x86-64 wine64; do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done)
if [ -n "$missing" ]; then
  echo "== installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi
scripts/windows-test.sh --package build-windows
echo "== Windows flavour took $((SECONDS - started)) s"
