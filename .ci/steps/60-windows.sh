#!/usr/bin/env bash
# The Windows flavour: KORFlowID.dll and the whole test suite cross-built with MinGW-w64 and run
# under Wine, then the release's ZIP package checked and used, and the DLL's export names held to the last
# release's (scripts/abi-baseline.sh --windows); then the library alone built with a debug postfix
# and without clang (scripts/windows-build-variants.sh). scripts/windows-test.sh keeps its Wine prefix
# private and stops its server on exit. Its packages come from `scripts/install-deps.sh --windows`,
# which .ci/run calls.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
# The ZIP checked and used is the release's (.ci/steps/33-release.sh made it).
zip=$(find build-release/out -name 'KORFlowID-*-win64.zip' 2>/dev/null)
[ -f "$zip" ] || { echo "no Windows ZIP in build-release/out: run .ci/steps/33-release.sh first" >&2; exit 1; }
KORFLOWID_WINDOWS_ZIP=$PWD/$zip scripts/windows-test.sh --package build-windows
scripts/abi-baseline.sh --windows build-windows
scripts/windows-build-variants.sh
echo "== Windows flavour took $((SECONDS - started)) s"
