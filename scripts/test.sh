#!/usr/bin/env bash
# Builds everything and runs every test: the host unit tests natively, then the Windows unit,
# adapter and end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

echo "== host tests"
ctest --preset host

# The win64 tests start and stop their Wine environment themselves (the wine_env fixture).
echo "== Windows tests under Wine"
ctest --preset win64
