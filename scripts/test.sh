#!/usr/bin/env bash
# Builds everything and runs every test: the host unit tests natively, then the Windows unit,
# adapter and end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh

echo "== host tests"
ctest --preset host

echo "== Windows tests under Wine"
source scripts/wine-env.sh
qor_wine_start "$root"
trap qor_wine_stop EXIT
ctest --preset win64
