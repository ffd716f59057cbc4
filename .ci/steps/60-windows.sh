#!/usr/bin/env bash
# The Windows flavour: KORFlowID.dll and the whole test suite cross-built with MinGW-w64 and run
# under Wine, then the ZIP package checked and used, and the DLL's export names held to the last
# release's (scripts/abi-baseline.sh --windows); then the library alone built with a debug postfix
# and without clang (scripts/windows-build-variants.sh). scripts/windows-test.sh keeps its Wine prefix
# private and stops its server on exit. Its packages come from `scripts/install-deps.sh --windows`,
# which .ci/run calls.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
scripts/windows-test.sh --package build-windows
scripts/abi-baseline.sh --windows build-windows
scripts/windows-build-variants.sh
echo "== Windows flavour took $((SECONDS - started)) s"
