#!/usr/bin/env bash
# Builds everything and runs every test: the import check of the deliverables, the host unit
# tests natively, then the Windows unit, adapter and end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

echo "== imports of the deliverables"
bash scripts/check-imports.sh build/win32 build/win64

echo "== host tests"
ctest --preset host

# The win64 tests start and stop their Wine environment themselves (the wine_env fixture).
echo "== Windows tests under Wine"
ctest --preset win64
