#!/usr/bin/env bash
# The binary interface against the last release's: libKORFlowID.so of build/ (README's test command
# made it, with debug information) compared by abidiff with abi/libKORFlowID.so.1.abi. A removed
# function or a changed type or enum value fails; an added function is reported and passes.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
scripts/abi-baseline.sh build
echo "== ABI check took $((SECONDS - started)) s"
