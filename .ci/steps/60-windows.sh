#!/usr/bin/env bash
# The Windows flavour: KORFlowID.dll and the whole test suite cross-built with MinGW-w64 and run
# under Wine, then the ZIP package checked and used. scripts/windows-test.sh keeps its Wine prefix
# private and stops its server on exit. Its packages come from `scripts/install-deps.sh --windows`,
# which .ci/run calls.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
scripts/windows-test.sh --package build-windows
echo "== Windows flavour took $((SECONDS - started)) s"
